#include "data/live_objects.h"

#include <atomic>

namespace mirelda::data {
namespace {

std::atomic<long> g_live{0};

}  // namespace

LiveObject::LiveObject() { ++g_live; }
LiveObject::LiveObject(const LiveObject&) { ++g_live; }
LiveObject::~LiveObject() { --g_live; }
long LiveObject::Count() { return g_live.load(); }

}  // namespace mirelda::data
