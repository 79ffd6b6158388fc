// Counts the data library's objects that are alive, for DllCanUnloadNow. Each class holds one
// LiveObject member.
#pragma once

namespace mirelda::data {

class LiveObject {
 public:
  LiveObject();
  LiveObject(const LiveObject&);
  LiveObject& operator=(const LiveObject&) = default;
  ~LiveObject();

  static long Count();
};

}  // namespace mirelda::data
