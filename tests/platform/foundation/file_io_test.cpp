// Whole-file reads into a recycled buffer: a file that fits is taken in one
// read with no questions asked, so every size around the buffer's must still
// come back whole, and whatever is not a regular file must still fail.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/file_io.h"
#include "tests/support/temp_device.h"

using namespace px::platform::foundation;

TEST(WholeFileReads, EverySizeAroundTheBufferComesBackWhole) {
  px::tests::support::TempDevice device;
  const std::string file = "/User/Library/sizes.bin";
  std::string storage;
  // Growing and shrinking, so the buffer is sometimes bigger than the file
  // and sometimes smaller, and once exactly its size.
  for (std::size_t size : {0, 1, 4095, 4096, 4097, 12000, 5, 300000, 4096, 8192, 0}) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i % 23);
    device.write_text(file, bytes);
    auto read = read_device_file(px::platform::sim::DevicePath(file), 1 << 20, std::move(storage));
    ASSERT_TRUE(read.ok()) << size;
    EXPECT_EQ(*read, bytes) << size;
    storage = std::move(read).value();
  }
}

TEST(WholeFileReads, OversizedFoldersAndEmptyFifosFail) {
  px::tests::support::TempDevice device;
  std::string big(70000, 'x');
  device.write_text("/User/Library/big.bin", big);
  std::string storage;
  storage.reserve(100000);  // the whole file fits the buffer: the size is still checked
  EXPECT_EQ(read_device_file(px::platform::sim::DevicePath("/User/Library/big.bin"), 65536, std::move(storage)).code(),
            Errc::too_large);
  EXPECT_GE(storage.capacity(), 100000u) << "a failed read leaves the buffer with its caller";
  EXPECT_TRUE(storage.empty());
  EXPECT_EQ(read_device_file(px::platform::sim::DevicePath("/User/Library/big.bin"), 65536).code(), Errc::too_large);
  EXPECT_EQ(read_device_file(px::platform::sim::DevicePath("/User/Library"), 65536).code(), Errc::unreadable);
  ASSERT_EQ(::mkfifo(device.path("/User/Library/pipe").c_str(), 0644), 0);
  EXPECT_EQ(read_device_file(px::platform::sim::DevicePath("/User/Library/pipe"), 65536).code(), Errc::unreadable);
  auto missing = read_device_file(px::platform::sim::DevicePath("/User/Library/none"), 65536);
  EXPECT_EQ(missing.code(), Errc::missing);
  EXPECT_EQ(missing.message(), "no such file");
}

TEST(TailReads, GiveTheLastBytesOfLongFilesAndAllOfShortOnes) {
  px::tests::support::TempDevice device;
  const std::string file = "/var/log/grows.log";
  for (std::size_t size : {0, 1, 99, 100, 101, 250000}) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i % 23);
    device.write_text(file, bytes);
    auto tail = read_device_file_tail(px::platform::sim::DevicePath(file), 100);
    ASSERT_TRUE(tail.ok()) << size;
    EXPECT_EQ(*tail, bytes.substr(size > 100 ? size - 100 : 0)) << size;
  }
}

TEST(TailReads, RefuseWhatIsNoRegularFileInsideTheRoot) {
  px::tests::support::TempDevice device;
  EXPECT_EQ(read_device_file_tail(px::platform::sim::DevicePath("/var/log/none"), 100).code(), Errc::missing);
  EXPECT_EQ(read_device_file_tail(px::platform::sim::DevicePath("/User/Library"), 100).code(), Errc::unreadable);
  ASSERT_EQ(::mkfifo(device.path("/User/Library/pipe").c_str(), 0644), 0);
  EXPECT_EQ(read_device_file_tail(px::platform::sim::DevicePath("/User/Library/pipe"), 100).code(), Errc::unreadable);
  // An absolute link is the device's own "/": /etc/hostname of the device, which is missing.
  ASSERT_EQ(::symlink("/etc/hostname", device.path("/var/log/out").c_str()), 0);
  EXPECT_FALSE(read_device_file_tail(px::platform::sim::DevicePath("/var/log/out"), 100).ok());
}
