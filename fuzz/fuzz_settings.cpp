// Ranquil.ini as the settings read it: every record loads from any bytes,
// and what it saves loads back to the same values.

#include "FuzzFiles.h"
#include "FuzzInput.h"

#include "settings/ConnectionOptions.h"
#include "settings/GUIOptions.h"
#include "settings/MainWindowSettings.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const FuzzInput input(data, size);
    const QString path = fuzzFile(QStringLiteral("Ranquil.ini"));
    const QString again = fuzzFile(QStringLiteral("again.ini"));
    if (!writeFuzzFile(path, input.restBytes()))
        return 0;
    QFile::remove(again);

    const connectionOptions connection = connectionOptionsStore(path).load();
    FUZZ_CHECK(connectionOptionsStore(again).save(connection));
    FUZZ_CHECK(connectionOptionsStore(again).load() == connection);

    const GUIOptions gui = GUIOptionsStore(path).load();
    FUZZ_CHECK(GUIOptionsStore(again).save(gui));
    FUZZ_CHECK(GUIOptionsStore(again).load() == gui);

    MainWindowSettings::load(path);
    return 0;
}
