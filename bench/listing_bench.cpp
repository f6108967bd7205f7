#include "remote/FileTypeText.h"
#include "remote/ListingParser.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{

const char* const extensions[] = { ".txt", ".jpg", ".png", ".pdf", ".zip", ".tar.gz", ".iso", ".mp3", ".mkv",
    ".html", ".c", ".h", ".cpp", ".py", ".deb", ".rpm", ".wkt", ".log", ".dat", ".bin", "" };

// A listing in vsftpd's layout: mostly files of common types, some folders
// and links, sizes beyond 4 GiB, names with spaces.
std::string unixListing(int lines)
{
    std::string listing;
    listing.reserve(static_cast<std::size_t>(lines) * 80);
    char line[256];
    for (int i = 0; i < lines; ++i) {
        const long long size = (i % 97 == 0) ? 5368709120LL + i : 1000LL + i * 37LL;
        if (i % 10 == 0) {
            std::snprintf(line, sizeof line,
                "drwxr-xr-x    2 1000     1000         4096 Mar %2d 12:%02d folder %d\r\n", i % 28 + 1,
                i % 60, i);
        } else if (i % 20 == 1) {
            std::snprintf(line, sizeof line,
                "lrwxrwxrwx    1 1000     1000           11 Feb %2d  2002 latest %d -> pub/release\r\n",
                i % 28 + 1, i);
        } else {
            std::snprintf(line, sizeof line,
                "-rw-r--r--    1 1000     1000     %10lld Jan %2d  2023 file number %d%s\r\n", size,
                i % 28 + 1, i, extensions[i % std::size(extensions)]);
        }
        listing += line;
    }
    return listing;
}

listingSource siteSource()
{
    ftpSite site;
    site.name = "Benchmark site with a longish profile name";
    site.hostAddress = "ftp.example.org";
    site.description = "A description long enough to make copying the whole profile cost something.";
    site.initialDirectory = "/pub/mirrors/debian/pool/main";
    listingSource source;
    source.site = sharedSite(site);
    source.directory = "/pub/";
    return source;
}

constexpr int millionLines = 1000000;

// Parsing as a transfer worker does: no session list and no type texts,
// which a worker never shows.
void BM_ParseUnixListing_Worker(benchmark::State& state)
{
    const std::string listing = unixListing(millionLines);
    listingSource source = siteSource();
    source.fileTypeTexts = false;
    std::vector<ftpObject> entries;
    for (auto _ : state) {
        entries.clear();
        entries.reserve(millionLines);
        forEachListingEntry(listing, source, [&](ftpObject&& entry, lineKind) {
            entries.push_back(std::move(entry));
            return true;
        });
        benchmark::DoNotOptimize(entries.data());
    }
    state.SetItemsProcessed(state.iterations() * millionLines);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(listing.size()));
}
BENCHMARK(BM_ParseUnixListing_Worker)->Unit(benchmark::kMillisecond)->UseRealTime();

// Parsing as a session does: each entry joins the list, whose type texts the
// next files reuse.
void BM_ParseUnixListing_Session(benchmark::State& state)
{
    const std::string listing = unixListing(millionLines);
    listingSource source = siteSource();
    typeTextIndex listed;
    source.listed = &listed;
    std::vector<ftpObject> entries;
    for (auto _ : state) {
        entries.clear();
        entries.reserve(millionLines);
        listed.clear();
        forEachListingEntry(listing, source, [&](ftpObject&& entry, lineKind) {
            listed.add(entry);
            entries.push_back(std::move(entry));
            return true;
        });
        benchmark::DoNotOptimize(entries.data());
    }
    state.SetItemsProcessed(state.iterations() * millionLines);
}
BENCHMARK(BM_ParseUnixListing_Session)->Unit(benchmark::kMillisecond)->UseRealTime();

// What entries pay for their site profile: a shared reference each, or (for
// comparison) a whole copy each. Both build and drop 1000 entries' worth.
void BM_SiteIntoEntries_Shared(benchmark::State& state)
{
    const listingSource source = siteSource();
    for (auto _ : state) {
        std::vector<sharedSite> sites(1000, source.site);
        benchmark::DoNotOptimize(sites.data());
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_SiteIntoEntries_Shared);

void BM_SiteIntoEntries_WholeCopy(benchmark::State& state)
{
    const listingSource source = siteSource();
    for (auto _ : state) {
        std::vector<ftpSite> sites(1000, *source.site);
        benchmark::DoNotOptimize(sites.data());
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_SiteIntoEntries_WholeCopy);

// Folders of n files. "Numbered" names ("backup.00001", ...) give every file
// its own extension, the worst case for reusing texts of listed files.
std::vector<std::string> folderNames(int files, bool numbered)
{
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(files));
    char name[64];
    for (int i = 0; i < files; ++i) {
        if (numbered)
            std::snprintf(name, sizeof name, "backup.%06d", i);
        else
            std::snprintf(name, sizeof name, "file %d%s", i, extensions[i % std::size(extensions)]);
        names.emplace_back(name);
    }
    return names;
}

// Type texts as a session fills its list: the index answers the reuse rule.
void typeTextsWithIndex(benchmark::State& state, bool numbered)
{
    const auto names = folderNames(static_cast<int>(state.range(0)), numbered);
    for (auto _ : state) {
        typeTextIndex listed;
        for (const auto& name : names) {
            ftpObject entry;
            entry.name = name;
            entry.typeText = fileTypeText(name, &listed);
            listed.add(entry);
        }
        benchmark::DoNotOptimize(&listed);
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_TypeTexts_Index_CommonTypes(benchmark::State& state)
{
    typeTextsWithIndex(state, false);
}
BENCHMARK(BM_TypeTexts_Index_CommonTypes)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

void BM_TypeTexts_Index_NumberedParts(benchmark::State& state)
{
    typeTextsWithIndex(state, true);
}
BENCHMARK(BM_TypeTexts_Index_NumberedParts)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

// For comparison: the reuse rule as a walk over the list for every file.
void BM_TypeTexts_Walk_NumberedParts(benchmark::State& state)
{
    const auto names = folderNames(static_cast<int>(state.range(0)), true);
    for (auto _ : state) {
        std::vector<ftpObject> list;
        for (const auto& name : names) {
            ftpObject entry;
            entry.name = name;
            const auto extension = extensionOf(name);
            for (const auto& shown : list) {
                if (shown.name != name && extensionOf(shown.name) == extension) {
                    entry.typeText = shown.typeText;
                    break;
                }
            }
            if (entry.typeText.empty())
                entry.typeText = fileTypeText(name, nullptr);
            list.push_back(std::move(entry));
        }
        benchmark::DoNotOptimize(list.data());
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TypeTexts_Walk_NumberedParts)
    ->RangeMultiplier(2)
    ->Range(5000, 40000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

} // namespace
