// Times Upload with files kept in memory (UpToFile 2) on two generated bodies, beside glibc
// memmem scanning the same bytes for the boundary alone (one marker, for scale) and,
// when a script is given, busboy parsing the same bytes in Node.js.
//
//   upload_bench [--busboy SCRIPT] [--runs N]
//
// Rates are body bytes per second of wall time over the fastest of N runs after warm-up (other
// work on the machine only ever slows a run down), with the median beside it. Memory is what
// Upload allocates on top of the body, tracked by this program's operator new.
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "mirelda/host.h"
#include "upload/file_system.h"

namespace {

// Live and peak bytes of everything allocated through operator new.
std::atomic<size_t> g_live{0};
std::atomic<size_t> g_peak{0};

void Track(void* p) {
  size_t now = g_live += malloc_usable_size(p);
  size_t peak = g_peak.load();
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
}

void* Allocate(size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  Track(p);
  return p;
}

void Release(void* p) noexcept {
  if (!p) return;
  g_live -= malloc_usable_size(p);
  std::free(p);
}

}  // namespace

void* operator new(size_t n) { return Allocate(n); }
void* operator new[](size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }

namespace {

using mirelda::ByteArray;
using mirelda::Variant;

constexpr std::string_view kBoundary = "----WebKitFormBoundary7MA4YWxkTrZu0gW";
constexpr double kGiga = 1e9;

// A request that hands out its body without copying it, as a host that keeps the received body
// in shared storage can.
class BodyRequest final : public mirelda::RequestObject {
 public:
  explicit BodyRequest(std::shared_ptr<const std::vector<uint8_t>> body) : body_(std::move(body)) {}
  Variant ServerVariables(const std::string&) override { return {}; }
  Variant Item(const std::string&) override { return {}; }
  Variant QueryString(const Variant&) override { return {}; }
  Variant Form(const Variant&) override { return {}; }
  Variant Cookies(const Variant&) override { return {}; }
  int32_t TotalBytes() override { return static_cast<int32_t>(body_->size()); }
  Variant BinaryRead(int32_t count) override {
    size_t n = std::min(static_cast<size_t>(count), body_->size() - read_);
    ByteArray bytes(body_, read_, n);
    read_ += n;
    return Variant(bytes);
  }
  mirelda::RequestCollection::Entries Entries(mirelda::RequestPart) override { return {}; }
  void Rewind() { read_ = 0; }

 private:
  std::shared_ptr<const std::vector<uint8_t>> body_;
  size_t read_ = 0;
};

// A page that has a request and nothing else: no session (code page 936), no server.
class BodyContext final : public mirelda::ScriptingContext {
 public:
  explicit BodyContext(std::shared_ptr<BodyRequest> request) : request_(std::move(request)) {}
  std::shared_ptr<mirelda::ApplicationObject> Application() override { return nullptr; }
  std::shared_ptr<mirelda::RequestObject> Request() override { return request_; }
  std::shared_ptr<mirelda::ResponseObject> Response() override { return nullptr; }
  std::shared_ptr<mirelda::ServerObject> Server() override { return nullptr; }
  std::shared_ptr<mirelda::SessionObject> Session() override { return nullptr; }

 private:
  std::shared_ptr<BodyRequest> request_;
};

class BodyWriter {
 public:
  void Field(const std::string& name, const std::string& value) {
    Begin("Content-Disposition: form-data; name=\"" + name + "\"\r\n\r\n");
    Append(value);
    Append("\r\n");
  }
  void File(const std::string& name, const std::string& file_name, size_t size) {
    Begin("Content-Disposition: form-data; name=\"" + name + "\"; filename=\"" + file_name +
          "\"\r\nContent-Type: application/octet-stream\r\n\r\n");
    size_t start = bytes_.size();
    bytes_.resize(start + size);
    for (size_t i = start; i < bytes_.size(); ++i) bytes_[i] = static_cast<uint8_t>(Next() >> 56);
    Append("\r\n");
  }
  std::vector<uint8_t> Finish() {
    Append("--");
    Append(kBoundary);
    Append("--\r\n");
    return std::move(bytes_);
  }

 private:
  void Begin(const std::string& header) {
    Append("--");
    Append(kBoundary);
    Append("\r\n");
    Append(header);
  }
  void Append(std::string_view s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); }
  uint64_t Next() {  // xorshift64*: the same bytes on every run
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 2685821657736338717ULL;
  }

  std::vector<uint8_t> bytes_;
  uint64_t state_ = 0x9E3779B97F4A7C15ULL;
};

std::vector<uint8_t> BodyA() {
  BodyWriter w;
  w.Field("title", "Quarterly report");
  w.Field("author", "Ann Example");
  w.Field("notes", "Figures for the third quarter, with the appendix.");
  w.File("report", "report.bin", 64u << 20);
  return w.Finish();
}

std::vector<uint8_t> BodyB() {
  BodyWriter w;
  for (int i = 0; i < 200; ++i) {
    w.Field("field" + std::to_string(i), "value of field number " + std::to_string(i));
  }
  for (int i = 0; i < 50; ++i) {
    w.File("file" + std::to_string(i), "photo" + std::to_string(i) + ".jpg", 256u << 10);
  }
  return w.Finish();
}

struct Timing {
  double best = 0;    // seconds of the fastest run
  double median = 0;  // seconds of the middle run
};

Timing Time(int runs, const std::function<void()>& run) {
  for (int i = 0; i < 3; ++i) run();
  std::vector<double> seconds;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    run();
    seconds.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(seconds.begin(), seconds.end());
  return {seconds.front(), seconds[seconds.size() / 2]};
}

// Bytes per nanosecond are GB/s.
double Rate(size_t bytes, double seconds) { return static_cast<double>(bytes) / seconds / kGiga; }

struct Figures {
  double upload_rate = 0;  // of the fastest run
  double upload_median = 0;
  double memmem_rate = 0;
  double memmem_median = 0;
  size_t upload_extra = 0;  // peak bytes Upload allocated on top of the body
};

Figures Measure(const std::shared_ptr<const std::vector<uint8_t>>& body, int runs,
                int32_t expected_parts) {
  Figures f;
  auto request = std::make_shared<BodyRequest>(body);
  auto context = std::make_shared<BodyContext>(request);
  auto fs = std::make_shared<mirelda::upload::FileSystem>();
  fs->OnStartPage(context);
  fs->UpToFile(2);
  fs->MaxSize(std::numeric_limits<int32_t>::max());
  auto upload = [&] {
    request->Rewind();
    std::string result = fs->Upload(0, "", 0);
    if (result != "OK" || fs->results().parts().size() != static_cast<size_t>(expected_parts)) {
      std::fprintf(stderr, "Upload gave %s with %zu parts\n", result.c_str(),
                   fs->results().parts().size());
      std::exit(1);
    }
  };
  Timing upload_time = Time(runs, upload);
  f.upload_rate = Rate(body->size(), upload_time.best);
  f.upload_median = Rate(body->size(), upload_time.median);

  // Memory of one run from a clean start: the results of the run before are dropped first.
  fs = std::make_shared<mirelda::upload::FileSystem>();
  fs->OnStartPage(context);
  fs->UpToFile(2);
  fs->MaxSize(std::numeric_limits<int32_t>::max());
  size_t before = g_live.load();
  g_peak = before;
  upload();
  f.upload_extra = g_peak.load() - before;

  std::string boundary_line = "--" + std::string(kBoundary);
  size_t found = 0;
  auto scan = [&] {
    found = 0;
    const uint8_t* p = body->data();
    const uint8_t* end = p + body->size();
    while (const void* hit = ::memmem(p, static_cast<size_t>(end - p), boundary_line.data(),
                                      boundary_line.size())) {
      ++found;
      p = static_cast<const uint8_t*>(hit) + boundary_line.size();
    }
  };
  Timing scan_time = Time(runs, scan);
  f.memmem_rate = Rate(body->size(), scan_time.best);
  f.memmem_median = Rate(body->size(), scan_time.median);
  if (found != static_cast<size_t>(expected_parts) + 1) {
    std::fprintf(stderr, "memmem found %zu boundaries\n", found);
    std::exit(1);
  }
  return f;
}

// busboy's rates on the same bytes: the script reads the body file and prints
// "BEST_RATE MEDIAN_RATE PEAK_RSS_MIB".
bool Busboy(const std::string& script, const std::filesystem::path& file, int runs, double* rate,
            double* median, double* rss_mib) {
  std::string command = "node " + script + " " + file.string() + " " + std::string(kBoundary) +
                        " " + std::to_string(runs);
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return false;
  int got = std::fscanf(pipe, "%lf %lf %lf", rate, median, rss_mib);
  return ::pclose(pipe) == 0 && got == 3;
}

}  // namespace

int main(int argc, char** argv) {
  std::string busboy_script;
  int runs = 15;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--busboy" && i + 1 < argc) {
      busboy_script = argv[++i];
    } else if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: upload_bench [--busboy SCRIPT] [--runs N]\n");
      return 2;
    }
  }

  std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                 ("mirelda-upload-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  struct Cleanup {
    std::filesystem::path folder;
    ~Cleanup() { std::filesystem::remove_all(folder); }
  } cleanup{folder};

  struct Case {
    const char* name;
    std::vector<uint8_t> (*make)();
    int32_t parts;
  };
  const Case cases[] = {{"a: 3 fields + one 64 MiB file", BodyA, 4},
                        {"b: 200 fields + 50 files of 256 KiB", BodyB, 250}};
  bool all_met = true;
  for (const Case& c : cases) {
    auto body = std::make_shared<const std::vector<uint8_t>>(c.make());
    Figures f = Measure(body, runs, c.parts);
    double body_mib = static_cast<double>(body->size()) / (1 << 20);
    double peak_ratio = (static_cast<double>(body->size()) + static_cast<double>(f.upload_extra)) /
                        static_cast<double>(body->size());
    std::printf("body %s (%.1f MiB)\n", c.name, body_mib);
    std::printf(
        "  Upload, UpToFile 2  %6.2f GB/s (median %5.2f)   peak memory %.3f x body "
        "(%.2f MiB on top)\n",
        f.upload_rate, f.upload_median, peak_ratio,
        static_cast<double>(f.upload_extra) / (1 << 20));
    std::printf("  memmem boundary     %6.2f GB/s (median %5.2f)   Upload reaches %.2f of it\n",
                f.memmem_rate, f.memmem_median, f.upload_rate / f.memmem_rate);
    bool met = f.upload_rate >= f.memmem_rate / 4 && peak_ratio < 1.2;
    if (!busboy_script.empty()) {
      std::filesystem::path file = folder / "body.bin";
      {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(body->data()),
                  static_cast<std::streamsize>(body->size()));
      }
      double rate = 0, median = 0, rss = 0;
      if (!Busboy(busboy_script, file, runs, &rate, &median, &rss)) {
        std::fprintf(stderr, "busboy run failed\n");
        return 1;
      }
      std::printf(
          "  busboy              %6.2f GB/s (median %5.2f)   Upload is %.2f x busboy "
          "(node peak RSS %.0f MiB)\n",
          rate, median, f.upload_rate / rate, rss);
      met = met && f.upload_rate >= 1.5 * rate;
    }
    all_met = all_met && met;
  }
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("process peak RSS %.0f MiB (both bodies generated and held)\n",
              static_cast<double>(usage.ru_maxrss) / 1024);
  std::printf("targets (>= 1.5 x busboy, >= 0.25 x memmem, peak < 1.2 x body): %s\n",
              all_met ? "met" : "NOT met");
  return 0;
}
