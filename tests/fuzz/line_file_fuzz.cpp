// Any bytes as a file, read in blocks of any size: the lines come out as the line rules say,
// whatever the block boundaries, and the end stays the end. The same bytes written in pieces of
// any size come out whole.
#include "foundation/line_file.h"
#include "fuzz_support.h"

#include <cstddef>
#include <cstdint>

namespace {

const ScratchDirectory scratch;

void checkReading(const std::string &path, std::string_view bytes, std::size_t blockSize) {
    writeBytes(path, bytes);
    std::vector<std::string> expected = linesOf(bytes);
    LineFile f;
    assignName(f, path);
    openForReading(f);
    FUZZ_CHECK(ioResult == 0);
    f.buffer.resize(blockSize); // every read asks the system for exactly this many bytes
    std::size_t count = 0;
    std::string line;
    while (!atEnd(f)) {
        FUZZ_CHECK(count < expected.size());
        readLineInto(f, line);
        FUZZ_CHECK(line == expected[count]);
        ++count;
    }
    FUZZ_CHECK(count == expected.size());
    FUZZ_CHECK(readLine(f).empty() && atEnd(f));
    FUZZ_CHECK(ioResult == 0);
    close(f);
    FUZZ_CHECK(ioResult == 0);
}

// Writes bytes with writeText and writeLine in pieces whose sizes come from sizes.
void checkWriting(const std::string &path, std::string_view bytes, std::string_view sizes) {
    LineFile f;
    assignName(f, path);
    openForWriting(f);
    FUZZ_CHECK(ioResult == 0);
    std::string written;
    std::size_t at = 0;
    for (std::size_t i = 0; at < bytes.size(); ++i) {
        unsigned char size =
            sizes.empty() ? 200 : static_cast<unsigned char>(sizes[i % sizes.size()]);
        std::string_view piece = bytes.substr(at, (size % 2 == 0 ? size * 3u : size) + 1u);
        at += piece.size();
        if (size % 3 == 0) {
            writeLine(f, piece);
            written.append(piece).append("\r\n");
        } else {
            writeText(f, piece);
            written.append(piece);
        }
        FUZZ_CHECK(f.held < lineFileBlockSize); // whole blocks leave at once
    }
    close(f);
    FUZZ_CHECK(ioResult == 0);
    FUZZ_CHECK(readBytes(path) == written);
}

} // namespace

// The first byte chooses the read block size (1 to 255, or 0 for a large one), the next few the
// sizes of the written pieces; the rest is the file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 1)
        return 0;
    ioResult = 0;
    std::string_view input(reinterpret_cast<const char *>(data), size);
    std::size_t blockSize = data[0] == 0 ? 65536 : data[0];
    std::string_view sizes = input.substr(1, 4);
    std::string_view bytes = input.substr(std::min<std::size_t>(size, 5));
    checkReading(scratch.at("read"), bytes, blockSize);
    checkWriting(scratch.at("written"), bytes, sizes);
    return 0;
}
