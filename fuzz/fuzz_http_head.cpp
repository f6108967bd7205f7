// HTTP response heads, whatever pieces they arrive in, up to the start of
// the body.

#include "FuzzInput.h"

#include "net/HttpResponseHead.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    HttpHeadReader reader;
    QByteArray buffer;
    auto progress = HttpHeadReader::Progress::NeedMore;
    for (const QByteArray& piece : input.pieces(input.takeByte())) {
        buffer += piece;
        progress = reader.feed(buffer);
        if (progress != HttpHeadReader::Progress::NeedMore)
            break;
        // What is left waits for its line end; the reader refuses a longer one.
        FUZZ_CHECK(buffer.size() <= HttpHeadReader::maxLineLength + piece.size());
    }
    const HttpResponseHead& head = reader.head();
    FUZZ_CHECK(head.headerLines.size() <= HttpHeadReader::maxHeaderLines + 1);
    if (progress == HttpHeadReader::Progress::Complete) {
        FUZZ_CHECK(head.contentLength >= -1);
        FUZZ_CHECK(head.statusCode >= 0);
    }
    if (progress == HttpHeadReader::Progress::Failed)
        FUZZ_CHECK(!reader.error().isEmpty());
    return 0;
}
