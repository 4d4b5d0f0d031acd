// The maker's addresses, in one place for the maker to set. Until then they are
// placeholders under the reserved ".example" domain.
#pragma once

// The About dialog's links; a link label opens its own text, so these are complete URLs.
inline constexpr const char* kMakerMailLink = "mailto:info@qor.example";
inline constexpr const char* kMakerWebLink = "https://www.qor.example";

// The download page of the USB reader drivers.
inline constexpr const char* kMakerDriverPage = "https://www.qor.example/treiber";

// The server that offers new program versions, set at build time (ORVEX_UPDATE_BASE_URL).
inline constexpr const char* kMakerUpdateBase = ORVEX_UPDATE_BASE_URL;
// The public key that signs its offers, set at build time (ORVEX_UPDATE_PUBLIC_KEY).
inline constexpr const char* kMakerUpdateKey = ORVEX_UPDATE_PUBLIC_KEY;
