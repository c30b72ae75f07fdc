// The state chunk reader of the plug-in base on arbitrary bytes and start
// offsets. The expected outcome is computed here from the byte layout alone:
// parameter i takes the little-endian double at startPos + 8 i when all eight
// bytes are inside the chunk (limited to its range, a NaN ignored), the
// return value is the offset after the last parameter or -1, and the chunk's
// typed readers agree with the raw bytes.

#include "EqualizerParamSet.h"
#include "FuzzCheck.h"

#include "plugin/ByteChunk.h"
#include "plugin/IPluginBase.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int kParams = fuzzing::kEqualizerParams;

double LittleEndianDouble(const uint8_t* bytes) {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | bytes[i];
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool SameValue(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

void CheckTypedReaders(const plugin::ByteChunk& chunk, int32_t pos) {
    const int64_t size = chunk.Size();
    const uint8_t* bytes = chunk.Data();

    int32_t i32 = 0x5a5a5a5a;
    const int32_t afterInt = chunk.GetInt32(i32, pos);
    if (pos >= 0 && int64_t{pos} + 4 <= size) {
        FUZZ_CHECK(afterInt == int64_t{pos} + 4, "GetInt32 at %d returned %d", pos, afterInt);
        const uint32_t expected = uint32_t{bytes[pos]} | uint32_t{bytes[pos + 1]} << 8 |
                                  uint32_t{bytes[pos + 2]} << 16 | uint32_t{bytes[pos + 3]} << 24;
        FUZZ_CHECK(static_cast<uint32_t>(i32) == expected, "GetInt32 at %d", pos);
    } else {
        FUZZ_CHECK(afterInt == -1 && i32 == 0x5a5a5a5a, "GetInt32 at %d of %lld", pos,
                   static_cast<long long>(size));
    }

    double d = 0.25;
    const int32_t afterDouble = chunk.GetDouble(d, pos);
    if (pos >= 0 && int64_t{pos} + 8 <= size) {
        FUZZ_CHECK(afterDouble == int64_t{pos} + 8, "GetDouble at %d returned %d", pos,
                   afterDouble);
        FUZZ_CHECK(SameValue(d, LittleEndianDouble(bytes + pos)), "GetDouble at %d", pos);
    } else {
        FUZZ_CHECK(afterDouble == -1 && d == 0.25, "GetDouble at %d of %lld", pos,
                   static_cast<long long>(size));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const int32_t startPos = input.ConsumeIntegralInRange<int32_t>(-9, 96);
    const bool nearLimit = input.ConsumeBool();
    const std::vector<uint8_t> payload = input.ConsumeRemainingBytes<uint8_t>();

    plugin::ByteChunk chunk;
    FUZZ_CHECK(chunk.PutBytes(payload.data(), static_cast<int32_t>(payload.size())), "PutBytes");
    FUZZ_CHECK(chunk.Size() == static_cast<int32_t>(payload.size()), "size");
    CheckTypedReaders(chunk, startPos);
    // A position close to INT32_MAX must not wrap around into the buffer.
    if (nearLimit)
        CheckTypedReaders(chunk, INT32_MAX - 8 + (startPos & 7));

    plugin::IPluginBase plugin(kParams, 1);
    fuzzing::ConfigureEqualizerParams([&](int i) { return plugin.ParamAt(i); });
    double before[kParams];
    for (int i = 0; i < kParams; ++i)
        before[i] = plugin.ParamAt(i)->CurrentValue();

    const int32_t returned = plugin.UnserializeParams(chunk, startPos);

    int32_t expectedReturn = startPos;
    for (int i = 0; i < kParams; ++i) {
        const plugin::IParam& param = *plugin.ParamAt(i);
        const int64_t at = int64_t{startPos} + 8 * i;
        double expected = before[i];
        if (startPos >= 0 && at + 8 <= chunk.Size()) {
            const double stored = LittleEndianDouble(payload.data() + at);
            if (!std::isnan(stored))
                expected = param.LimitValue(stored);
            expectedReturn = static_cast<int32_t>(at + 8);
        } else if (startPos >= 0) {
            expectedReturn = -1;
        }
        const double value = param.CurrentValue();
        FUZZ_CHECK(value == expected, "param %d: %.17g, expected %.17g", i, value, expected);
        FUZZ_CHECK(std::isfinite(value) && value >= param.Min() && value <= param.Max(),
                   "param %d out of range: %.17g", i, value);
    }
    FUZZ_CHECK(returned == expectedReturn, "returned %d, expected %d", returned, expectedReturn);

    // What was restored serializes to exactly its own values and reads back
    // unchanged.
    plugin::ByteChunk saved;
    FUZZ_CHECK(plugin.SerializeParams(saved), "serialize");
    FUZZ_CHECK(saved.Size() == 8 * kParams, "saved %d bytes", saved.Size());
    for (int i = 0; i < kParams; ++i) {
        FUZZ_CHECK(LittleEndianDouble(saved.Data() + 8 * i) == plugin.ParamAt(i)->CurrentValue(),
                   "saved param %d", i);
    }
    FUZZ_CHECK(plugin.UnserializeParams(saved, 0) == 8 * kParams, "reload");
    return 0;
}
