# The Debian packages each command needs; sourced by the scripts beside it.
BUILD_PACKAGES=(g++ cmake ninja-build make pkg-config
    qt6-base-dev qt6-multimedia-dev qt6-tools-dev qt6-l10n-tools libgl-dev
    scdoc fonts-dejavu-core)
TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev iproute2 procps openssl)
# Debian packages: CPack's dependency scan and the package check.
PACKAGE_PACKAGES=(file dpkg-dev lintian)
# The station needs a display; where there is none it runs on a virtual one.
RUN_PACKAGES=(xvfb xauth)
