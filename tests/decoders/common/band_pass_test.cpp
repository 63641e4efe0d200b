// The band-passes in front of the FMS and the five-tone crossings: their
// written-out coefficients are the Butterworth designs they claim to be, they
// pass their chain's tones and shut out the rest of the band, and a steady
// tone comes out with its frequency unchanged.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <string>
#include <vector>

#include "decoders/common/zero_crossings.h"
#include "decoders/fms/fms_demodulator.h"
#include "decoders/zvei/zvei_tone_tracker.h"

namespace tolvana {
namespace {

constexpr double kRate = kSampleRate;

// Butterworth band-pass of order 2 * `order` from `low` to `high` Hz: the
// low-pass prototype's poles moved into the band, then the bilinear transform
// with both corners prewarped; one section per pair of poles, numerators
// 1 - z^-2, and the gain that makes the response 1 at the band's geometric
// centre.
BandPass butterworthBandPass(int order, double low, double high) {
    const double pi = std::numbers::pi;
    const double wLow = 2.0 * kRate * std::tan(pi * low / kRate);
    const double wHigh = 2.0 * kRate * std::tan(pi * high / kRate);
    const double w0 = std::sqrt(wLow * wHigh);
    const double width = wHigh - wLow;
    std::vector<std::complex<double>> poles;
    for (int k = 0; k < order; ++k) {
        const double angle = pi * (2.0 * k + 1 + order) / (2.0 * order);
        const std::complex<double> a = std::polar(1.0, angle) * width / 2.0;
        const std::complex<double> r = std::sqrt(a * a - w0 * w0);
        for (const std::complex<double> s : {a + r, a - r}) {
            const std::complex<double> z = (2.0 * kRate + s) / (2.0 * kRate - s);
            if (z.imag() > 0) {
                poles.push_back(z);
            }
        }
    }
    BandPass band;
    band.count = poles.size();
    const std::complex<double> zc = std::polar(1.0, -2.0 * pi * std::sqrt(low * high) / kRate); // z^-1
    std::complex<double> response = 1.0;
    for (std::size_t k = 0; k < poles.size(); ++k) {
        band.sections[k] = {-2.0 * poles[k].real(), std::norm(poles[k])};
        response *= (1.0 - zc * zc) / (1.0 + band.sections[k].a1 * zc + band.sections[k].a2 * zc * zc);
    }
    band.gain = 1.0 / std::abs(response);
    return band;
}

double responseDb(const BandPass& band, double hz) {
    const std::complex<double> z = std::polar(1.0, -2.0 * std::numbers::pi * hz / kRate); // z^-1
    std::complex<double> h = band.gain;
    for (std::size_t k = 0; k < band.count; ++k) {
        h *= (1.0 - z * z) / (1.0 + band.sections[k].a1 * z + band.sections[k].a2 * z * z);
    }
    return 20.0 * std::log10(std::abs(h));
}

struct BandCase {
    const char* name;
    BandPass band;
    int order;
    double low;
    double high;
    std::vector<double> tones;     ///< within 3 dB
    std::vector<double> stopBand;  ///< 20 dB down or more
};

class Bands : public ::testing::TestWithParam<BandCase> {};

TEST_P(Bands, CoefficientsAreTheButterworthDesign) {
    const BandCase& c = GetParam();
    const BandPass design = butterworthBandPass(c.order, c.low, c.high);
    ASSERT_EQ(c.band.count, design.count);
    EXPECT_NEAR(c.band.gain, design.gain, 1e-14 * design.gain);
    for (std::size_t k = 0; k < design.count; ++k) {
        EXPECT_NEAR(c.band.sections[k].a1, design.sections[k].a1, 1e-14) << "section " << k;
        EXPECT_NEAR(c.band.sections[k].a2, design.sections[k].a2, 1e-14) << "section " << k;
        // Stable, and quick to ring down: by a factor of 10^30 per block at
        // least, so that after the sound stops the flush to exact zeros
        // comes within a few blocks.
        const double radius = std::sqrt(c.band.sections[k].a2);
        EXPECT_LT(static_cast<double>(kBlockFrames) * std::log10(radius), -30.0) << "section " << k;
    }
}

TEST_P(Bands, PassesTheTonesAndShutsOutTheRest) {
    const BandCase& c = GetParam();
    EXPECT_NEAR(responseDb(c.band, c.low), -3.0, 0.05);
    EXPECT_NEAR(responseDb(c.band, c.high), -3.0, 0.05);
    for (const double hz : c.tones) {
        EXPECT_GT(responseDb(c.band, hz), -3.0) << hz << " Hz";
        EXPECT_LT(responseDb(c.band, hz), 0.01) << hz << " Hz";
    }
    for (const double hz : c.stopBand) {
        EXPECT_LT(responseDb(c.band, hz), -20.0) << hz << " Hz";
    }
}

// A steady tone through the whole front end: once the band-pass has rung
// in, the periods are the tone's (each to the few hundredths of a sample by
// which the straight line between two samples misses a sine's crossing, on
// average to 0.05 %), and a large offset on top changes nothing.
TEST_P(Bands, SteadyToneKeepsItsPeriod) {
    const BandCase& c = GetParam();
    for (const double hz : c.tones) {
        for (const double offset : {0.0, 12000.0}) {
            CrossingFront front(c.band, 3);
            CrossingList crossings;
            double phase = 0.0;
            for (int b = 0; b < 4; ++b) {
                ChannelBlock block;
                for (double& x : block) {
                    x = std::round(offset + 9000.0 * std::sin(phase));
                    phase += 2.0 * std::numbers::pi * hz / kRate;
                }
                runFront(block, front, crossings);
            }
            // The last block: the offset's step at the start has long died away.
            ASSERT_GT(crossings.count, 2u);
            double sum = 0.0;
            for (std::size_t k = 0; k < crossings.count; ++k) {
                EXPECT_NEAR(std::abs(crossings.period[k]), kRate / hz, 0.03) << hz << " Hz, offset " << offset;
                sum += std::abs(crossings.period[k]);
            }
            EXPECT_NEAR(sum / static_cast<double>(crossings.count), kRate / hz, 0.0005 * kRate / hz)
                << hz << " Hz, offset " << offset;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Decoders, Bands,
    ::testing::Values(BandCase{"Fms", kFmsBand, 2, 900.0, 2300.0,
                               // FSK tones, call tone I, the band of call tone II
                               {1200.0, 1800.0, 1750.0, 2050.0, 2135.0, 2200.0},
                               {0.0, 300.0, 5000.0, 8000.0, 11000.0}},
                      BandCase{"Zvei", kZveiBand, 3, 780.0, 2900.0,
                               // every five-tone frequency, "C" to "Gr"
                               {810.0, 885.0, 1060.0, 1160.0, 1270.0, 1400.0, 1530.0, 1670.0, 1750.0, 1830.0,
                                1860.0, 2000.0, 2135.0, 2200.0, 2280.0, 2400.0, 2600.0, 2800.0},
                               {0.0, 400.0, 5000.0, 8000.0, 11000.0}}),
    [](const ::testing::TestParamInfo<BandCase>& p) { return std::string(p.param.name); });

} // namespace
} // namespace tolvana
