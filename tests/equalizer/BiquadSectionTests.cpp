#include "equalizer/BiquadSection.h"

#include "ResponseMeasurement.h"
#include "reference/ReferenceEqualizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using equalizer::BiquadSection;
using testing_support::ClosedFormMagnitude;
using testing_support::MeasureAmplitude;
using testing_support::ToDb;

namespace {

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void ExpectCoefficientsEqual(const BiquadSection& s, const reference::Section& r) {
    const auto c = s.CurrentCoefficients();
    EXPECT_TRUE(SameBits(c.b0, r.b0)) << c.b0 << " vs " << r.b0;
    EXPECT_TRUE(SameBits(c.b1, r.b1)) << c.b1 << " vs " << r.b1;
    EXPECT_TRUE(SameBits(c.b2, r.b2)) << c.b2 << " vs " << r.b2;
    EXPECT_TRUE(SameBits(c.a1, r.a1)) << c.a1 << " vs " << r.a1;
    EXPECT_TRUE(SameBits(c.a2, r.a2)) << c.a2 << " vs " << r.a2;
    EXPECT_EQ(c.a0, 1.0);
}

// A section at a settled design: targets set, glide completed, designed.
BiquadSection Settled(int32_t type, double q, double hz, double db, int32_t rate) {
    BiquadSection s;
    s.SetType(type);
    s.SetQ(q);
    s.SetFrequency(hz);
    s.SetGainDb(db);
    s.SetSampleRate(rate);
    s.Reset();
    s.Update();
    return s;
}

double MeasuredGainDb(BiquadSection& s, double hz, double rate) {
    const auto input = testing_support::Sine(hz, rate, static_cast<size_t>(rate));
    std::vector<double> output(input.size());
    for (size_t i = 0; i < input.size(); ++i) {
        output[i] = s.ProcessSample(input[i]);
    }
    const size_t settle = static_cast<size_t>(rate / 4);
    return ToDb(MeasureAmplitude(output, settle, hz, rate));
}

} // namespace

TEST(BiquadSectionDesign, NewSectionIsAnIdentityPeakingFilter) {
    BiquadSection s;
    EXPECT_EQ(s.Type(), equalizer::Peaking);
    EXPECT_EQ(s.Q(), 1.0);
    EXPECT_EQ(s.FrequencyHz(), 1000.0);
    EXPECT_EQ(s.GainDb(), 0.0);
    EXPECT_EQ(s.SampleRate(), 44100);
    EXPECT_FALSE(s.NeedsUpdate());
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int i = 0; i < 1000; ++i) {
        const double x = dist(rng);
        EXPECT_NEAR(s.ProcessSample(x), x, 1e-14);
    }
}

TEST(BiquadSectionDesign, EveryTypeMatchesAnIndependentEvaluationBitForBit) {
    const int32_t types[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 42, -1};
    const double qs[] = {0.1, 0.7, 0.7071067811865476, 4.0};
    const double frequencies[] = {20.0, 240.0, 2500.0, 12000.0, 30000.0};
    const double gains[] = {-20.0, -3.3, 0.0, 6.0, 20.0};
    const int32_t rates[] = {44100, 48000, 96000, 176400};
    for (int32_t type : types) {
        for (double q : qs) {
            for (double hz : frequencies) {
                for (double db : gains) {
                    for (int32_t rate : rates) {
                        BiquadSection s = Settled(type, q, hz, db, rate);
                        reference::Section r;
                        reference::Construct(r);
                        reference::SetType(r, type);
                        reference::SetTarget(r, 0, q);
                        reference::SetTarget(r, 1, hz);
                        reference::SetTarget(r, 2, db);
                        reference::SetRate(r, rate);
                        reference::Reset(r);
                        reference::Update(r);
                        SCOPED_TRACE(testing::Message() << "type " << type << " q " << q << " f "
                                                        << hz << " g " << db << " rate " << rate);
                        ExpectCoefficientsEqual(s, r);
                    }
                }
            }
        }
    }
}

TEST(BiquadSectionDesign, PeakingAndShelvesAtZeroDbAreIdentities) {
    for (int32_t type : {equalizer::Peaking, equalizer::LowShelf, equalizer::HighShelf}) {
        BiquadSection s = Settled(type, 0.7, 240.0, 0.0, 48000);
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> dist(-1.0, 1.0);
        for (int i = 0; i < 2000; ++i) {
            const double x = dist(rng);
            ASSERT_NEAR(s.ProcessSample(x), x, 1e-12) << "type " << type;
        }
    }
}

// The measured response of settled sections, by running sines through
// ProcessSample, against the closed-form response of the designed
// coefficients and against what each type is meant to do.
TEST(BiquadSectionResponse, MeasuredMagnitudeMatchesClosedFormAndIntent) {
    for (double rate : {44100.0, 48000.0, 96000.0, 176400.0}) {
        SCOPED_TRACE(rate);
        const auto r = static_cast<int32_t>(rate);

        BiquadSection peak = Settled(equalizer::Peaking, 0.7, 1000.0, 6.0, r);
        auto c = peak.CurrentCoefficients();
        const double peakClosed =
            ToDb(ClosedFormMagnitude(c.b0, c.b1, c.b2, c.a1, c.a2, 1000.0, rate));
        EXPECT_NEAR(peakClosed, 6.0, 1e-9);
        EXPECT_NEAR(MeasuredGainDb(peak, 1000.0, rate), peakClosed, 0.01);

        BiquadSection hp = Settled(equalizer::HighPass, 0.7071067811865476, 80.0, 0.0, r);
        c = hp.CurrentCoefficients();
        const double hpClosed = ToDb(ClosedFormMagnitude(c.b0, c.b1, c.b2, c.a1, c.a2, 80.0, rate));
        EXPECT_NEAR(hpClosed, -3.0103, 1e-3);
        EXPECT_NEAR(MeasuredGainDb(hp, 80.0, rate), hpClosed, 0.01);
        EXPECT_LT(MeasuredGainDb(hp, 20.0, rate), -23.0); // 12 dB per octave below the corner

        // Shelves: the full gain on their own side, 0 dB on the other, half
        // the gain (in dB) at the corner frequency.
        BiquadSection low = Settled(equalizer::LowShelf, 0.7, 220.0, 10.0, r);
        c = low.CurrentCoefficients();
        EXPECT_NEAR(ToDb((c.b0 + c.b1 + c.b2) / (1.0 + c.a1 + c.a2)), 10.0, 1e-9); // DC
        EXPECT_NEAR(ToDb(std::fabs((c.b0 - c.b1 + c.b2) / (1.0 - c.a1 + c.a2))), 0.0, 0.05);
        EXPECT_NEAR(ToDb(ClosedFormMagnitude(c.b0, c.b1, c.b2, c.a1, c.a2, 220.0, rate)), 5.0,
                    1e-6);
        EXPECT_NEAR(MeasuredGainDb(low, 30.0, rate), 10.0, 0.3);
        EXPECT_NEAR(MeasuredGainDb(low, 220.0, rate), 5.0, 0.01);

        BiquadSection high = Settled(equalizer::HighShelf, 0.7, 12000.0, -8.0, r);
        c = high.CurrentCoefficients();
        EXPECT_NEAR(ToDb(std::fabs((c.b0 - c.b1 + c.b2) / (1.0 - c.a1 + c.a2))), -8.0, 1e-9);
        EXPECT_NEAR(ToDb((c.b0 + c.b1 + c.b2) / (1.0 + c.a1 + c.a2)), 0.0, 1e-9);
        EXPECT_NEAR(ToDb(ClosedFormMagnitude(c.b0, c.b1, c.b2, c.a1, c.a2, 12000.0, rate)), -4.0,
                    1e-6);
        const double measured = MeasuredGainDb(high, 5000.0, rate);
        EXPECT_NEAR(measured, ToDb(ClosedFormMagnitude(c.b0, c.b1, c.b2, c.a1, c.a2, 5000.0, rate)),
                    0.01);
    }
}

TEST(BiquadSectionGlide, FrequencyApproachesTargetGeometricallyAndSettles) {
    BiquadSection s;
    const auto before = s.CurrentCoefficients();
    s.SetFrequency(2000.0);
    EXPECT_EQ(s.FrequencyHz(), 1000.0 * 0.99 + 2000.0 * (1.0 - 0.99));
    EXPECT_DOUBLE_EQ(s.FrequencyHz(), 1010.0);
    EXPECT_NE(s.CurrentCoefficients().b1, before.b1) << "a 1 % move must redesign";

    int updates = 1;
    double previousDistance = 2000.0 - s.FrequencyHz();
    while (s.NeedsUpdate() && updates < 10000) {
        s.Update();
        ++updates;
        const double distance = 2000.0 - s.FrequencyHz();
        EXPECT_NEAR(distance / previousDistance, 0.99, 1e-5) << "update " << updates;
        previousDistance = distance;
    }
    EXPECT_FALSE(s.NeedsUpdate());
    // The distance 1000·0.99^n falls below 0.000001 after
    // ln(1e-9) / ln(0.99) ≈ 2062 updates.
    EXPECT_GE(updates, 2060);
    EXPECT_LE(updates, 2065);
}

TEST(BiquadSectionGlide, MovesBelowTheThresholdsDoNotRedesign) {
    BiquadSection s = Settled(equalizer::Peaking, 0.7, 1000.0, 3.0, 48000);
    const auto designed = s.CurrentCoefficients();

    // Frequency: the first glide step of a 0.5 % target move is 0.005 % of
    // the frequency, below the 0.01 % threshold.
    s.SetFrequency(1005.0);
    EXPECT_NE(s.FrequencyHz(), 1000.0);
    EXPECT_EQ(s.CurrentCoefficients().b1, designed.b1);
    s.Update(); // 0.00995 %: still below
    EXPECT_EQ(s.CurrentCoefficients().b1, designed.b1);
    s.Update(); // 0.0149 %: crosses
    EXPECT_NE(s.CurrentCoefficients().b1, designed.b1);

    BiquadSection g = Settled(equalizer::Peaking, 0.7, 1000.0, 3.0, 48000);
    const auto gDesigned = g.CurrentCoefficients();
    g.SetGainDb(3.005); // first step moves 0.00005 dB
    EXPECT_EQ(g.CurrentCoefficients().b0, gDesigned.b0);
    g.Update(); // 0.0000995 dB
    EXPECT_EQ(g.CurrentCoefficients().b0, gDesigned.b0);
    g.Update(); // 0.000149 dB
    EXPECT_NE(g.CurrentCoefficients().b0, gDesigned.b0);

    BiquadSection q = Settled(equalizer::Peaking, 0.7, 1000.0, 3.0, 48000);
    const auto qDesigned = q.CurrentCoefficients();
    q.SetQ(0.705); // 0.00005
    EXPECT_EQ(q.CurrentCoefficients().a1, qDesigned.a1);
    EXPECT_EQ(q.CurrentCoefficients().b0, qDesigned.b0);
}

TEST(BiquadSectionGlide, SampleRateChangeRedesignsWithNothingElseMoving) {
    BiquadSection s = Settled(equalizer::Peaking, 0.7, 1000.0, 3.0, 48000);
    const auto before = s.CurrentCoefficients();
    s.SetSampleRate(96000);
    EXPECT_NE(s.CurrentCoefficients().b1, before.b1);
    reference::Section r;
    reference::Construct(r);
    reference::SetType(r, equalizer::Peaking);
    reference::SetTarget(r, 0, 0.7);
    reference::SetTarget(r, 1, 1000.0);
    reference::SetTarget(r, 2, 3.0);
    reference::SetRate(r, 48000);
    reference::Reset(r);
    reference::Update(r);
    reference::SetRate(r, 96000);
    ExpectCoefficientsEqual(s, r);
}

TEST(BiquadSectionGlide, SetTypeRedesignsAtOnceWithoutAdvancingTheGlide) {
    BiquadSection s;
    s.SetGainDb(6.0); // one step: gain 0.06, glide still running
    const double gainBefore = s.GainDb();
    const bool needsBefore = s.NeedsUpdate();
    s.SetType(equalizer::LowShelf);
    EXPECT_EQ(s.GainDb(), gainBefore);
    EXPECT_EQ(s.NeedsUpdate(), needsBefore);
    const auto c = s.CurrentCoefficients();
    const double A = std::exp(gainBefore * 0.057564627324851146);
    EXPECT_NEAR(ToDb((c.b0 + c.b1 + c.b2) / (1.0 + c.a1 + c.a2)), ToDb(A * A), 1e-9)
        << "designed as a low shelf with the gain in effect";
}

TEST(BiquadSectionReset, CompletesTheGlideClearsHistoryAndDefersTheDesign) {
    BiquadSection s;
    s.SetGainDb(12.0);
    for (int i = 0; i < 10; ++i) {
        s.ProcessSample(0.5);
    }
    const auto designedBefore = s.CurrentCoefficients();
    s.Reset();
    EXPECT_EQ(s.GainDb(), 12.0);
    EXPECT_FALSE(s.NeedsUpdate());
    const auto h = s.CurrentHistory();
    EXPECT_EQ(h.x1, 0.0);
    EXPECT_EQ(h.x2, 0.0);
    EXPECT_EQ(h.y1, 0.0);
    EXPECT_EQ(h.y2, 0.0);
    EXPECT_EQ(s.CurrentCoefficients().b0, designedBefore.b0) << "reset must not design";
    s.Update(); // dirty: designs for 12 dB now
    const auto c = s.CurrentCoefficients();
    EXPECT_NEAR(ToDb(ClosedFormMagnitude(c.b0, c.b1, c.b2, c.a1, c.a2, 1000.0, 44100.0)), 12.0,
                1e-9);
}

TEST(BiquadSectionHostileValues, NonFiniteAndHugeInputsDoNotStick) {
    BiquadSection s = Settled(equalizer::Peaking, 0.7, 1000.0, 6.0, 48000);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(std::isnan(s.ProcessSample(nan)));
    EXPECT_TRUE(std::isnan(s.ProcessSample(0.0))) << "NaN stays in the history";
    s.Reset();
    s.Update();
    EXPECT_EQ(s.ProcessSample(0.0), 0.0) << "a reset clears it";
    EXPECT_FALSE(std::isfinite(s.ProcessSample(inf)));
    s.Reset();
    s.Update();
    EXPECT_TRUE(std::isfinite(s.ProcessSample(1e300)));
    const double tiny = std::numeric_limits<double>::denorm_min();
    EXPECT_TRUE(std::isfinite(s.ProcessSample(tiny)));

    BiquadSection g = Settled(equalizer::Peaking, 0.7, 1000.0, 6.0, 48000);
    g.SetGainDb(nan);
    EXPECT_TRUE(g.NeedsUpdate()) << "a NaN difference counts as not settled";
}
