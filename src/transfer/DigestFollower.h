#pragma once

#include "transfer/PartPlan.h"

#include <QCryptographicHash>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The MD5 digest of a file whose parts arrive at the same time, computed in
// file order while they arrive: bytes written exactly where the digest has
// reached are hashed from the writer's buffer; what lies further on is read
// back from the file once everything before it is there. Worker thread only.
class DigestFollower
{
public:
    DigestFollower();

    // Bytes about to be written at `position` of the file; hashed when they
    // continue the digest. True when the digest moved.
    bool offer(std::uint64_t position, const char* data, std::uint64_t length);
    // Hashes what the file `fd` holds from the digest's position on, as far
    // as `parts` say their bytes are there without a gap. `onPartPassed(i)`
    // follows each part end the digest passes here. False when a read fails.
    bool catchUp(
        int fd, const std::vector<FilePart>& parts, const std::function<void(int)>& onPartPassed = {});
    // The bytes from `position` on are no longer what was hashed.
    void forgetFrom(std::uint64_t position);

    std::uint64_t position() const { return position_; }
    // 32 upper-case hexadecimal characters; nothing unless exactly `size`
    // bytes were hashed.
    std::optional<std::string> result(std::uint64_t size);

private:
    QCryptographicHash hash_;
    std::uint64_t position_ = 0;
};
