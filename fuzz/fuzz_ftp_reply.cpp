// The FTP control connection's replies: bytes cut into lines whatever
// pieces they arrive in, final lines told from the others, and the values
// read from 213, 257 and 227 replies.

#include "FuzzInput.h"

#include "net/FtpReply.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t mode = input.takeByte();
    const bool acceptLf = (mode & 1) != 0;
    FtpLineReader reader;
    FtpReplyClassifier classifier;
    for (const QByteArray& piece : input.pieces(mode >> 1)) {
        qsizetype at = 0;
        while (at < piece.size()) {
            const int length = std::min(reader.freeSpace(), static_cast<int>(piece.size() - at));
            FUZZ_CHECK(length >= 0);
            reader.append(piece.constData() + at, length);
            at += length;
            while (const auto line = reader.takeLine(acceptLf)) {
                // Without acceptLf a bare LF belongs to the line.
                FUZZ_CHECK(!acceptLf || !line->contains('\n'));
                FUZZ_CHECK(!line->endsWith('\r') && !line->endsWith('\n'));
                const auto kind = classifier.classify(*line);
                if (kind.kind == FtpReplyClassifier::Kind::Final)
                    FUZZ_CHECK(kind.code >= 100 && kind.code <= 599);
                if (const auto code = replyCodeOf(*line))
                    FUZZ_CHECK(*code >= 100 && *code <= 599);
                if (const auto bytes = sizeFromReply(*line))
                    FUZZ_CHECK(*bytes >= 0);
                quotedDirectoryFromReply(*line);
                if (const auto passive = parsePassiveReply(*line))
                    FUZZ_CHECK(passive->port >= 1);
            }
            if (reader.isOverfull(acceptLf)) {
                reader.clear();
                classifier.reset();
            }
            if (length == 0)
                break;
        }
    }
    return 0;
}
