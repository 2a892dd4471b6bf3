// MIME parsing and decoding speed against GMime 3 on the same bytes: the test
// mails and a generated 50 MiB mail with a 40 MiB Base64 attachment. Each
// side parses the mail and decodes the plain-text body, the HTML body and
// every attachment. Prints MB/s, our ratio to GMime and the peak memory for
// the large mail as a multiple of its size.
#include <benchmark/benchmark.h>
#include <gmime/gmime.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "mail/base64.h"
#include "mail/mime_message.h"

namespace {

std::vector<std::string> load_corpus() {
  std::vector<std::string> mails;
  for (const auto& entry : std::filesystem::directory_iterator(PW_MAIL_CORPUS_DIR)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    mails.push_back(s.str());
  }
  return mails;
}

const std::vector<std::string>& corpus() {
  static const std::vector<std::string> mails = load_corpus();
  return mails;
}

size_t corpus_bytes() {
  size_t n = 0;
  for (const auto& m : corpus()) n += m.size();
  return n;
}

// 50 MiB: a text part, a quoted-printable HTML part, a 40 MiB Base64
// attachment (30 MiB of bytes) and a second Base64 attachment.
std::string make_large_mail() {
  std::mt19937 rng(42);
  auto random_bytes = [&rng](size_t n) {
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
  };
  std::string mail =
      "From: sender@example.com\r\nTo: receiver@example.net\r\nSubject: large\r\nMIME-Version: 1.0\r\n"
      "Content-Type: multipart/mixed; boundary=\"big-boundary\"\r\n\r\n";
  mail += "--big-boundary\r\nContent-Type: text/plain; charset=gb2312\r\n\r\n";
  for (int i = 0; i < 40000; ++i) mail += "\xb8\xf7\xce\xbb\xcd\xac\xca\xc2 line of plain text in the body.\r\n";
  mail += "--big-boundary\r\nContent-Type: text/html; charset=us-ascii\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n";
  for (int i = 0; i < 60000; ++i) mail += "<p class=3D\"x\">A paragraph of html with a soft =\r\nline break.</p>\r\n";
  auto attachment = [&mail](const char* name, const std::string& bytes) {
    mail += "--big-boundary\r\nContent-Type: application/octet-stream; name=\"";
    mail += name;
    mail += "\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"";
    mail += name;
    mail += "\"\r\n\r\n";
    mail += pw::base64_encode_lines(bytes);
    mail += "\r\n";
  };
  attachment("big.bin", random_bytes(30u << 20));
  std::string pad_bytes = random_bytes(((50u << 20) - mail.size() - 400) / 78 * 57);
  attachment("second.bin", pad_bytes);
  mail += "--big-boundary--\r\n";
  return mail;
}

const std::string& large_mail() {
  static const std::string mail = make_large_mail();
  return mail;
}

// ---- the two sides ------------------------------------------------------------

// As the mail reader does: the message reads the held mail text in place.
size_t read_with_pelliwick(const std::string& text) {
  pw::MimeMessage m = pw::MimeMessage::over(text);
  size_t n = m.text_body().size() + m.html_body().size();
  for (int i = 0; i < m.attachment_count(); ++i) n += m.attachment_data(i)->size();
  return n;
}

struct GmimeWalk {
  bool have_text = false;
  bool have_html = false;
  size_t bytes = 0;
};

size_t decode_gmime_part(GMimePart* part) {
  GMimeDataWrapper* content = g_mime_part_get_content(part);
  if (!content) return 0;
  GMimeStream* out = g_mime_stream_mem_new();
  g_mime_data_wrapper_write_to_stream(content, out);
  size_t n = GMIME_STREAM_MEM(out)->buffer->len;
  g_object_unref(out);
  return n;
}

void visit_gmime_part(GMimeObject* /*parent*/, GMimeObject* object, gpointer data) {
  auto* walk = static_cast<GmimeWalk*>(data);
  if (!GMIME_IS_PART(object)) return;
  GMimePart* part = GMIME_PART(object);
  GMimeContentType* type = g_mime_object_get_content_type(object);
  bool decode = g_mime_part_is_attachment(part);
  if (!walk->have_text && g_mime_content_type_is_type(type, "text", "plain")) decode = walk->have_text = true;
  if (!walk->have_html && g_mime_content_type_is_type(type, "text", "html")) decode = walk->have_html = true;
  if (decode) walk->bytes += decode_gmime_part(part);
}

size_t read_with_gmime(const std::string& text) {
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(text.data(), text.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  g_object_unref(stream);
  GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
  g_object_unref(parser);
  GmimeWalk walk;
  if (message) {
    g_mime_message_foreach(message, visit_gmime_part, &walk);
    g_object_unref(message);
  }
  return walk.bytes;
}

// ---- benchmarks ------------------------------------------------------------

template <size_t (*Read)(const std::string&)>
void corpus_benchmark(benchmark::State& state) {
  for (auto _ : state) {
    for (const auto& mail : corpus()) benchmark::DoNotOptimize(Read(mail));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus_bytes()));
}

template <size_t (*Read)(const std::string&)>
void large_benchmark(benchmark::State& state) {
  const std::string& mail = large_mail();
  for (auto _ : state) benchmark::DoNotOptimize(Read(mail));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * mail.size()));
}

// Wall-clock rates: page faults of the large buffers are part of the cost.
BENCHMARK(corpus_benchmark<read_with_pelliwick>)->Name("corpus/pelliwick")->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(corpus_benchmark<read_with_gmime>)->Name("corpus/gmime")->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(large_benchmark<read_with_pelliwick>)->Name("large/pelliwick")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(large_benchmark<read_with_gmime>)->Name("large/gmime")->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps each run's throughput so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      auto it = r.counters.find("bytes_per_second");
      if (it != r.counters.end()) mb_per_s_[r.run_name.function_name] = it->second.value / 1e6;
    }
  }
  void print_ratios() const {
    for (const char* set : {"corpus", "large"}) {
      auto ours = mb_per_s_.find(std::string(set) + "/pelliwick");
      auto theirs = mb_per_s_.find(std::string(set) + "/gmime");
      if (ours == mb_per_s_.end() || theirs == mb_per_s_.end()) continue;
      std::printf("%-7s pelliwick %8.1f MB/s   gmime %8.1f MB/s   ratio %.2f\n", set, ours->second,
                  theirs->second, ours->second / theirs->second);
    }
  }

 private:
  std::map<std::string, double> mb_per_s_;
};

// Kilobytes of a /proc/self/status line such as "VmHWM:".
long status_kb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
  }
  return -1;
}

// Peak memory of reading the large mail in a fresh process, beyond what the
// process held before the mail existed, as a multiple of the mail's size.
// The mail text itself counts; the temporaries that generated it do not
// (the peak is reset once the mail is built).
double peak_memory_multiple(size_t (*reader)(const std::string&)) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    long before = status_kb("VmRSS:");
    std::string mail = make_large_mail();
    std::ofstream("/proc/self/clear_refs") << "5";
    benchmark::DoNotOptimize(reader(mail));
    double multiple = double(status_kb("VmHWM:") - before) * 1024 / double(mail.size());
    (void)!write(fds[1], &multiple, sizeof multiple);
    _exit(0);
  }
  close(fds[1]);
  double multiple = -1;
  if (read(fds[0], &multiple, sizeof multiple) != sizeof multiple) multiple = -1;
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return multiple;
}

}  // namespace

int main(int argc, char** argv) {
  g_mime_init();
  // Memory first, in fresh children, before this process grows.
  double ours = peak_memory_multiple(read_with_pelliwick);
  double theirs = peak_memory_multiple(read_with_gmime);

  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%zu test mails, %zu bytes; large mail %zu bytes\n", corpus().size(), corpus_bytes(),
              large_mail().size());
  reporter.print_ratios();
  std::printf("peak memory for the large mail (mail text included): pelliwick %.2fx, gmime %.2fx its size\n", ours,
              theirs);
  g_mime_shutdown();
  return 0;
}
