// The math functions (Double results; a Null argument is Invalid use of Null), the language's own
// random sequence, and RGB.
#include <sys/time.h>

#include <bit>
#include <cmath>
#include <cstring>

#include "script/vbscript/builtins/arguments.h"
#include "script/vbscript/builtins/builtins.h"

namespace mirelda::script::vbscript {
namespace {

double NumberArg(const Variant& value) { return PlainValue(value).ToDouble(); }

// A result that is no finite number is Overflow (6).
Variant Finite(double value) {
  if (!std::isfinite(value)) throw Error(errc::kOverflow);
  return Variant(value);
}

Variant Sqr(BuiltinCall& call) {
  double x = NumberArg(call.args[0]);
  if (x < 0) throw Error(errc::kInvalidProcedureCall);
  return Variant(std::sqrt(x));
}

Variant Exp(BuiltinCall& call) { return Finite(std::exp(NumberArg(call.args[0]))); }

Variant Log(BuiltinCall& call) {
  double x = NumberArg(call.args[0]);
  if (x <= 0) throw Error(errc::kInvalidProcedureCall);
  return Variant(std::log(x));
}

template <double (*F)(double)>
Variant Trig(BuiltinCall& call) {
  return Finite(F(NumberArg(call.args[0])));
}

// The language's generator: a 24-bit linear congruence, so that a page that seeds it with
// Rnd(-n) and Randomize n sees the sequence every run. Each page thread keeps its own.
struct RandomState {
  uint32_t seed = 0x50000;
  float last = 0;
};

RandomState& Random() {
  thread_local RandomState state;
  return state;
}

constexpr uint32_t kMask = 0xFFFFFF;

float Next(RandomState& r) {
  r.seed = (r.seed * 0x43FD43FDu + 0xC39EC3u) & kMask;
  r.last = static_cast<float>(r.seed) / 16777216.0f;
  return r.last;
}

Variant Rnd(BuiltinCall& call) {
  RandomState& r = Random();
  if (!call.has(0)) return Variant(Next(r));
  auto n = static_cast<float>(NumberArg(call.args[0]));
  if (n == 0) return Variant(r.last);
  if (n < 0) {
    // A negative argument restarts the sequence from its own bits: the same number, the same
    // sequence.
    uint32_t bits = std::bit_cast<uint32_t>(n);
    r.seed = (bits + (bits >> 24)) & kMask;
  }
  return Variant(Next(r));
}

Variant Randomize(BuiltinCall& call) {
  RandomState& r = Random();
  double n = 0;
  if (call.has(0)) {
    n = NumberArg(call.args[0]);
  } else {
    timeval now{};
    gettimeofday(&now, nullptr);
    n = static_cast<double>(now.tv_sec % 86400) + now.tv_usec / 1e6;
  }
  // The middle bytes of the Double's bits replace the middle of the seed, the low byte kept.
  uint64_t bits = std::bit_cast<uint64_t>(n);
  auto high = static_cast<uint32_t>(bits >> 32);
  uint32_t mixed = ((high & 0xFFFF) ^ (high >> 16)) << 8;
  r.seed = (mixed | (r.seed & 0xFF)) & kMask;
  return Variant();
}

int32_t ColourPart(const Variant& value) {
  int32_t part = LongArg(value);
  if (part < 0) throw Error(errc::kInvalidProcedureCall);
  return part > 255 ? 255 : part;
}

Variant Rgb(BuiltinCall& call) {
  return Variant(ColourPart(call.args[0]) + ColourPart(call.args[1]) * 256 +
                 ColourPart(call.args[2]) * 65536);
}

constexpr Builtin kMath[] = {
    {"Sqr", 1, 1, Sqr},
    {"Exp", 1, 1, Exp},
    {"Log", 1, 1, Log},
    {"Atn", 1, 1, Trig<std::atan>},
    {"Sin", 1, 1, Trig<std::sin>},
    {"Cos", 1, 1, Trig<std::cos>},
    {"Tan", 1, 1, Trig<std::tan>},
    {"Rnd", 0, 1, Rnd},
    {"Randomize", 0, 1, Randomize},
    {"RGB", 3, 3, Rgb},
};

}  // namespace

std::span<const Builtin> MathBuiltins() { return kMath; }

}  // namespace mirelda::script::vbscript
