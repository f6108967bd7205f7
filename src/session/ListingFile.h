#pragma once

#include <QString>

#include <functional>
#include <string>
#include <string_view>

// Cuts listing bytes into lines as they come, in pieces of any size, so
// that a listing is parsed while it arrives or is read back, with little
// memory. Lines end as readListingLine says; the first empty line ends the
// listing, and so does a line longer than any listing holds.
class listingLineSplitter
{
public:
    // Returns false to stop.
    using lineHandler = std::function<bool(std::string_view line)>;

    explicit listingLineSplitter(lineHandler onLine)
        : onLine_(std::move(onLine))
    {
    }

    void feed(std::string_view bytes);
    // The bytes have ended: the last line needs no line end.
    void finish();
    bool ended() const { return ended_; }

private:
    // Hands the whole lines of `text` on; returns how many bytes they took.
    // `text` has no line end to cut at before `searched`.
    std::size_t cut(std::string_view text, std::size_t searched, bool atEnd);
    void keep(std::string_view rest);

    lineHandler onLine_;
    std::string pending_;
    bool ended_ = false;
};

// Reads a listing file through a listingLineSplitter. False when the file
// cannot be opened.
bool readListingFile(const QString& path, const listingLineSplitter::lineHandler& onLine);
