// Start-up load of the settings file when the file is hostile: random bytes, 50 MB, 10,000
// sections, a 1 MB line. Each should stay far below a second.
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <random>

#include "settings/logic/settings_file.h"

namespace {

QByteArray randomBytes() {
    QByteArray bytes(1 << 20, 0);
    std::mt19937 generator(7);
    for (char& byte : bytes) byte = char(generator());
    return bytes + "\n[image]\nframe=25\n";
}

QByteArray fiftyMegabytes() {
    QByteArray bytes = "[image]\r\npower=7\r\n";
    bytes.reserve(51 << 20);
    for (int i = 0; bytes.size() < (50 << 20); ++i)
        bytes += "key" + QByteArray::number(i) + '=' + QByteArray(60, 'v') + "\r\n";
    return bytes + "[File]\r\nmdir=m\r\n";
}

QByteArray tenThousandSections() {
    QByteArray bytes;
    for (int i = 0; i < 10000; ++i) bytes += "[s" + QByteArray::number(i) + "]\r\nframe=1\r\n";
    return bytes + "[image]\r\nframe=25\r\n";
}

QByteArray megabyteLine() {
    return "[File]\r\nsdir=" + QByteArray("\x8e\x77").repeated(1 << 19) +
           "\r\ntdir=" + QByteArray(1 << 20, 'a');
}

void loadSettings(benchmark::State& state, QByteArray (*makeFile)()) {
    QTemporaryDir dir;
    const QString program = dir.path() + '/';
    QFile file(settingsFilePath(program));
    if (!file.open(QIODevice::WriteOnly) || file.write(makeFile()) < 0) {
        state.SkipWithError("cannot write the settings file");
        return;
    }
    file.close();
    for (auto _ : state) benchmark::DoNotOptimize(readSettings(settingsFilePath(program), program));
    state.SetBytesProcessed(state.iterations() * file.size());
}

BENCHMARK_CAPTURE(loadSettings, random_bytes, randomBytes)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(loadSettings, fifty_megabytes, fiftyMegabytes)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(loadSettings, ten_thousand_sections, tenThousandSections)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(loadSettings, megabyte_line, megabyteLine)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
