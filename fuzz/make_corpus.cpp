// fuzz_make_corpus: writes the seed inputs of the fuzz targets into
// <folder>/<target>/, from the test suite's encoders, so the fuzzers start
// from real transmissions and real data folders instead of noise. Every
// audio seed is decoded once here and must give what was sent; the program
// fails otherwise. Run it again after an encoder change:
//
//   build/dev/fuzz/fuzz_make_corpus fuzz/corpus
#include "checking_sink.h"
#include "support/fms_encoder.h"
#include "support/pocsag_encoder.h"
#include "support/signal.h"
#include "support/zvei_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sndfile.h>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace tolvana;
using namespace tolvana::test;

using Bytes = std::string;

bool g_ok = true;

void writeBytes(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "fuzz_make_corpus: cannot write %s\n", path.c_str());
        g_ok = false;
    }
}

Bytes littleEndian(const std::vector<std::int16_t>& samples) {
    Bytes bytes;
    bytes.reserve(samples.size() * 2);
    for (const std::int16_t s : samples) {
        const auto u = static_cast<std::uint16_t>(s);
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes;
}

// Decodes the stereo samples and requires every expected line to be among
// the receptions.
void expectDecoded(const std::string& name, const std::vector<std::int16_t>& stereo,
                   const std::vector<std::string>& expected) {
    const std::vector<std::string> got = fuzz::dispatchAll(stereo);
    for (const std::string& line : got) {
        std::printf("  %s: %s\n", name.c_str(), line.c_str());
    }
    for (const std::string& want : expected) {
        if (std::find(got.begin(), got.end(), want) == got.end()) {
            std::fprintf(stderr, "fuzz_make_corpus: %s does not decode to \"%s\"\n", name.c_str(),
                         want.c_str());
            g_ok = false;
        }
    }
}

// A hard-clipped signal in the run encoding of the extreme target: one byte
// per run of equal sign, level 1 (32767) or 0 (-32768), at most 32 samples.
Bytes clippedRuns(const Signal& signal) {
    Bytes bytes;
    std::size_t i = 0;
    while (i < signal.samples.size()) {
        const bool high = signal.samples[i] >= 0.0;
        std::size_t run = 1;
        while (run < 32 && i + run < signal.samples.size() &&
               (signal.samples[i + run] >= 0.0) == high) {
            ++run;
        }
        const unsigned level = high ? 1u : 0u;
        bytes.push_back(static_cast<char>((level << 5) | static_cast<unsigned>(run - 1)));
        i += run;
    }
    return bytes;
}

// The samples the extreme target makes from its runs (left, right inverted).
std::vector<std::int16_t> expandRuns(const Bytes& runs) {
    std::vector<std::int16_t> stereo;
    for (const char c : runs) {
        const auto b = static_cast<unsigned char>(c);
        const std::int16_t level = (b >> 5) == 1 ? std::int16_t{32767} : std::int16_t{-32768};
        const std::int16_t other =
            level == -32768 ? std::int16_t{32767} : static_cast<std::int16_t>(-level);
        for (int k = 0; k <= (b & 0x1F); ++k) {
            stereo.push_back(level);
            stereo.push_back(other);
        }
    }
    return stereo;
}

Bytes soundFile(const std::vector<std::int16_t>& interleaved, int channels, int rate, int format,
                const fs::path& scratch) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* f = sf_open(scratch.c_str(), SFM_WRITE, &info);
    if (f == nullptr) {
        std::fprintf(stderr, "fuzz_make_corpus: libsndfile cannot write format %#x: %s\n", format,
                     sf_strerror(nullptr));
        g_ok = false;
        return {};
    }
    const auto frames =
        static_cast<sf_count_t>(interleaved.size() / static_cast<std::size_t>(channels));
    sf_writef_short(f, interleaved.data(), frames);
    sf_close(f);
    std::ifstream in(scratch, std::ios::binary);
    return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A mono signal resampled by linear interpolation (good enough for a seed).
std::vector<std::int16_t> resampled(const Signal& signal, int rate) {
    std::vector<std::int16_t> out;
    const double step = static_cast<double>(kSampleRate) / rate;
    for (double t = 0.0; t + 1.0 < static_cast<double>(signal.samples.size()); t += step) {
        const auto i = static_cast<std::size_t>(t);
        const double f = t - static_cast<double>(i);
        const double v = signal.samples[i] * (1.0 - f) + signal.samples[i + 1] * f;
        out.push_back(static_cast<std::int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0))));
    }
    return out;
}

Signal fmsStatus() {
    FmsFields fields;
    fields.kennung = "62345678";
    fields.status = 3;
    // The receiver's offset filter needs a moment of quiet before it settles.
    FmsEncoder::Options options;
    options.leadSeconds = 0.1;
    Signal s = FmsEncoder(options).telegram(fields);
    s.append(silence(0.5));
    return s;
}

Signal fmsAlarm() {
    FmsFields fields;
    fields.kennung = "62345678";
    fields.status = 10;
    fields.richtung = 1;
    Signal s = FmsEncoder().digitalAlarm(fields, "BRAND 3");
    s.append(silence(0.05));
    return s;
}

Signal zveiCall() {
    return ZveiEncoder().call("12345", 0.02, 0.25);
}

Signal pocsag(double bitRate, const std::string& text) {
    PocsagAir air;
    air.bitRate = bitRate;
    const std::vector<std::uint32_t> codewords = pocsagBatches(
        {PocsagCall{1234567, 3, PocsagCall::Kind::Alphanumeric, germanSevenBit(text)}});
    Signal s = renderPocsag(pocsagBits(codewords, 200), air);
    s.append(silence(0.2));
    return s;
}

Signal toneCall() {
    Signal s = silence(0.1);
    ToneWriter(s).tone(1750.0, 0.0795);
    s.append(silence(0.15));
    return s;
}

void dispatcherSeeds(const fs::path& dir) {
    struct Seed {
        std::string name;
        Signal left;
        Signal right;
        std::vector<std::string> expected;
    };
    const std::vector<Seed> seeds = {
        {"fms_status", fmsStatus(), Signal{}, {"L FMS 62345678 3 00 + "}},
        {"fms_alarm", Signal{}, fmsAlarm(), {"R FMS 62345678 10 01 + BRAND 3"}},
        {"fms_tone_call", toneCall(), Signal{}, {"L Tonruf I"}},
        {"zvei_call", zveiCall(), Signal{}, {"L ZVEI 12345"}},
        {"zvei_and_fms", zveiCall(), fmsStatus(), {"L ZVEI 12345", "R FMS 62345678 3 00 + "}},
        {"pocsag_512", pocsag(512.0, "Test"), Signal{}, {"L POC 1234567 3 Test"}},
        {"pocsag_1200",
         Signal{},
         pocsag(1200.0, "Probealarm \u00C4"),
         {"R POC 1234567 3 Probealarm \u00C4"}},
        {"pocsag_2400",
         pocsag(2400.0, "Brand gro\u00DF, Stra\u00DFe 1"),
         Signal{},
         {"L POC 1234567 3 Brand gro\u00DF, Stra\u00DFe 1"}},
    };
    for (const Seed& seed : seeds) {
        const std::vector<std::int16_t> stereo = interleave(toPcm(seed.left), toPcm(seed.right));
        expectDecoded(seed.name, stereo, seed.expected);
        writeBytes(dir / seed.name, littleEndian(stereo));
    }
}

void extremeSeeds(const fs::path& dir) {
    struct Seed {
        std::string name;
        Signal signal;
        std::vector<std::string> expected;
    };
    const std::vector<Seed> seeds = {
        {"fms_status_clipped", fmsStatus(), {"L FMS 62345678 3 00 + "}},
        {"zvei_call_clipped", zveiCall(), {"L ZVEI 12345"}},
        {"pocsag_1200_clipped", pocsag(1200.0, "Test"), {"L POC 1234567 3 Test"}},
    };
    for (const Seed& seed : seeds) {
        const Bytes runs = clippedRuns(seed.signal);
        expectDecoded(seed.name, expandRuns(runs), seed.expected);
        writeBytes(dir / seed.name, runs);
    }
    // Full-scale DC, a dead channel and a square wave at the FMS mark tone.
    writeBytes(dir / "dc_then_silence", Bytes(40, '\x1F') + Bytes(40, '\x5F'));
    Bytes square;
    for (int i = 0; i < 200; ++i) {
        square += '\x28'; // 32767 for 9 samples
        square += '\x08'; // -32768 for 9 samples
    }
    writeBytes(dir / "square_1200", square);
}

// Two of these differ from run to run, as libsndfile writes them: the Ogg
// stream's serial number is random and a float WAV's PEAK chunk holds the
// time of writing.
void audioSourceSeeds(const fs::path& dir) {
    const fs::path scratch = fs::temp_directory_path() / "tolvana-make-corpus.snd";
    // A bare telegram is enough here: the target reads files, it does not decode.
    const Signal short1 = FmsEncoder().telegram(FmsFields{});
    const std::vector<std::int16_t> mono = toPcm(short1);
    const std::vector<std::int16_t> stereo = interleave(mono, mono);
    const std::vector<std::int16_t> mono8k = resampled(short1, 8000);
    const std::vector<std::int16_t> mono44k = resampled(short1, 44100);
    const Bytes fileMode(1, '\x00');

    writeBytes(dir / "wav_22050_stereo",
               fileMode + soundFile(stereo, 2, 22050, SF_FORMAT_WAV | SF_FORMAT_PCM_16, scratch));
    writeBytes(dir / "wav_8000_mono",
               fileMode + soundFile(mono8k, 1, 8000, SF_FORMAT_WAV | SF_FORMAT_PCM_16, scratch));
    writeBytes(dir / "wav_float",
               fileMode + soundFile(mono, 1, 22050, SF_FORMAT_WAV | SF_FORMAT_FLOAT, scratch));
    writeBytes(dir / "flac_44100_mono",
               fileMode + soundFile(mono44k, 1, 44100, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, scratch));
    writeBytes(dir / "ogg_vorbis",
               fileMode + soundFile(mono8k, 1, 8000, SF_FORMAT_OGG | SF_FORMAT_VORBIS, scratch));
    writeBytes(dir / "aiff",
               fileMode + soundFile(mono8k, 1, 8000, SF_FORMAT_AIFF | SF_FORMAT_PCM_16, scratch));
    writeBytes(dir / "au_ulaw",
               fileMode + soundFile(mono8k, 1, 8000, SF_FORMAT_AU | SF_FORMAT_ULAW, scratch));
    fs::remove(scratch);

    // Raw: mode 0x88 is 22050 Hz stereo, 0x81 8000 Hz mono, 0x84 44100 Hz mono.
    writeBytes(dir / "raw_22050_stereo", Bytes(1, '\x88') + littleEndian(stereo));
    writeBytes(dir / "raw_8000_mono", Bytes(1, '\x81') + littleEndian(mono8k));
    writeBytes(dir / "raw_44100_mono_odd_length",
               Bytes(1, '\x84') + littleEndian(mono44k) + Bytes(1, '\x7F'));
}

// Data folder pieces are joined by the record separator 0x1E and a line feed.
Bytes folder(const std::vector<Bytes>& pieces) {
    Bytes out;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) {
            out += "\x1E\n";
        }
        out += pieces[i];
    }
    return out;
}

Bytes crlf(const std::vector<Bytes>& lines) {
    Bytes out;
    for (const Bytes& line : lines) {
        out += line + "\r\n";
    }
    return out;
}

void dataFolderSeeds(const fs::path& dir) {
    const Bytes monIni = crlf({"0",
                               "12648384",
                               "12648447",
                               "12632319",
                               "8438015",
                               "16761024",
                               "15790320",
                               "16777215",
                               "16711935",
                               "16777088",
                               "1",
                               "",
                               "ftp.example.org",
                               "user",
                               "geheim",
                               "/htdocs",
                               "0",
                               "1",
                               "localhost",
                               "4711",
                               "0",
                               "0",
                               "Empf\xE4nger",
                               "1",
                               "1",
                               "1",
                               "1",
                               "1",
                               "1",
                               "1"});
    const Bytes fzg = crlf({"RTW 1\t\t62345678", "LF 16\tWache Nord\t6234561A", "\t\t", "",
                            "\xDC"
                            "berland\tK\xF6ln\t62345999"});
    const Bytes wachen = crlf({"Nord",
                               "S\xFC"
                               "d",
                               "", "Ost"});
    const Bytes zvei =
        crlf({"12345\tFlorian 1\t255", "", "1234567\tRIC Wehr\t", "23456\tOhne Farbe"});
    const Bytes zuord = crlf({"62345678\t12345\tRTW 1", "62345678\t1234567\tRTW 1"});
    const Bytes filterFms = crlf({"6\t0", "62\t1", "ohne Tab"});
    const Bytes filterZvei = crlf({"123\t0", "123*\t1", "9\t7"});
    const Bytes filterPoc = crlf({"", "1234567\t0"});
    const Bytes fmsLog =
        crlf({"RTW 1\t\t62345678\t3\t0\tFzg->Lst\t07.12.2026 11:00:00\t",
              "\tBayern  \t62345678\t10\t0\tLst->Fzg\t07.12.2026 11:01:00\tBRAND, 3"});
    const Bytes zveiLog = crlf({"12345\tFlorian 1\t07.12.2026 11:02:00"});
    const Bytes pocLog = crlf({"1234567\t3\tRIC Wehr\t07.12.2026 11:03:00\tProbealarm, \"Stra\xDF"
                               "e\""});

    writeBytes(dir / "complete",
               folder({monIni, fzg, wachen, zvei, zuord, filterFms, filterZvei, filterPoc, fmsLog,
                       zveiLog, pocLog, "0.txt\n3\t0\t07.12. 11:00",
                       "1.txt\n15\t3\t07.12. 11:30\r\n", "4.txt\n", "017.txt\n2\t1\tx"}));
    writeBytes(dir / "settings_only",
               crlf({"2", " 7 ", "-1", "99999999999", "abc", "", "", "", "", "", "1"}));
    writeBytes(dir / "lf_only_no_last_end", folder({"0\n1\n2", "RTW 1\t\t62345678\nLF\tx",
                                                    "Nord\nS\xFC"
                                                    "d"}));
    writeBytes(dir / "empty_files", folder({"", "", "", "", "", "", "", "", "", "", ""}));
}

// A BOS file behind the option byte (see bos_file_fuzzer.cpp).
void bosFileSeeds(const fs::path& dir) {
    const Bytes file = crlf({"; Landkreis", "[OrganisationenKurz]", "6=Feuerwehr", "[Rufnamen]",
                             "6 2 34 56 78   RTW 1", "6 2 34 56 79   Florian M\xFCnster 1/83-1, Wache",
                             "6 2 34 56 8    kurz", "[rufnamen]", "6 2 34 56 80   HLF 20", "[Selektiv]",
                             "12-345 Florian 1", "23-456 \xC4rzte", "12-345", "[Selektiv-Record]",
                             "56-789 Aufzeichnung", "[Heimatfahrzeuge]", "6 2 34 56 81   Heimat"});
    writeBytes(dir / "replace_board", Bytes("\x03") + file);        // 1500 entries, from entry 0
    writeBytes(dir / "append_small", Bytes("\x0E") + file);         // 150 entries, behind entry 47
    writeBytes(dir / "table_of_one", Bytes("\x01") + file);
    writeBytes(dir / "lf_no_last_end", Bytes("\x02[Selektiv]\n12-345 A\n[Rufnamen]\n6 2 34 56 78   B"));
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_corpus FOLDER   (normally fuzz/corpus)\n");
        return 2;
    }
    const fs::path root(argv[1]);
    dispatcherSeeds(root / "dispatcher");
    extremeSeeds(root / "dispatcher_extreme");
    audioSourceSeeds(root / "audio_source");
    dataFolderSeeds(root / "data_folder");
    bosFileSeeds(root / "bos_file");
    return g_ok ? 0 : 1;
}
