# The Debian packages each command needs; sourced by the scripts beside it.
BUILD_PACKAGES=(g++ cmake ninja-build make pkg-config)
TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev iproute2 procps)
