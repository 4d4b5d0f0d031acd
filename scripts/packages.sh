# The Debian packages each command needs; sourced by the scripts beside it.
# The card register's Qt SQL drivers are plugins: the station and the tests load them at run
# time. doxygen makes the SDK reference.
BUILD_PACKAGES=(g++ cmake ninja-build make pkg-config ccache
    qt6-base-dev qt6-multimedia-dev qt6-tools-dev qt6-l10n-tools libgl-dev libssl-dev
    libqt6sql6-sqlite libqt6sql6-psql
    scdoc doxygen fonts-dejavu-core)
# postgresql: the register's tests and benchmark start a server of their own; libsqlite3-dev:
# the register's scale test counts the work of its statements.
TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev iproute2 procps openssl libsqlite3-dev
    qt6-translations-l10n clang libclang-rt-14-dev llvm postgresql)
# Debian packages: CPack's dependency scan and the package check.
PACKAGE_PACKAGES=(file dpkg-dev lintian)
# run-station --vnc runs the station on a virtual display.
RUN_PACKAGES=(xvfb xauth)
# run-station --vnc: a VNC server for that virtual display, on 127.0.0.1 only.
VNC_PACKAGES=(x11vnc)
