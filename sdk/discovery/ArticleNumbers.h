// The maker's reader article numbers: a USB reader's name starts with one of them.
#pragma once

#include <string>

namespace vellf {

bool IsReaderArticleNumber(int number);

// The first four characters of the name, read as a decimal number, are an article number.
bool HasReaderArticleNumber(const std::string& name);

}  // namespace vellf
