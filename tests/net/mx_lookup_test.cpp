// MX lookup: the answer parser on hand-built packets, and real queries to a
// dnsmasq on loopback (inside the tests' network namespace).
#include "net/mx_lookup.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <string>
#include <vector>

#include "support/dns_server.h"

namespace pw {
namespace {

// A DNS answer message built by hand, so the order and shape of its records
// is whatever the test says.
class Answer {
 public:
  explicit Answer(const std::string& question) {
    bytes_ = std::string("\x12\x34\x81\x80\0\x01\0\0\0\0\0\0", 12);  // id, flags, QD=1, AN set later
    name(question);
    bytes_ += {0, 15, 0, 1};  // QTYPE MX, QCLASS IN
  }
  // A record whose owner is the question name (a pointer to offset 12).
  Answer& record(int type, const std::string& rdata) {
    bytes_ += {static_cast<char>(0xc0), 12};
    bytes_ += {0, static_cast<char>(type), 0, 1, 0, 0, 0x0e, 0x10};  // type, class IN, TTL 3600
    bytes_ += {static_cast<char>(rdata.size() >> 8), static_cast<char>(rdata.size() & 0xff)};
    bytes_ += rdata;
    ++count_;
    return *this;
  }
  Answer& mx(int preference, const std::string& exchanger) {
    std::string rdata = {static_cast<char>(preference >> 8), static_cast<char>(preference & 0xff)};
    rdata += encoded(exchanger);
    return record(15, rdata);
  }
  std::string bytes() const {
    std::string out = bytes_;
    out[6] = static_cast<char>(count_ >> 8);
    out[7] = static_cast<char>(count_ & 0xff);
    return out;
  }
  static std::string encoded(const std::string& dotted) {
    std::string out;
    size_t start = 0;
    while (start < dotted.size()) {
      size_t dot = dotted.find('.', start);
      if (dot == std::string::npos) dot = dotted.size();
      out += static_cast<char>(dot - start);
      out += dotted.substr(start, dot - start);
      start = dot + 1;
    }
    return out + '\0';
  }

 private:
  void name(const std::string& dotted) { bytes_ += encoded(dotted); }
  std::string bytes_;
  int count_ = 0;
};

MxLookup parse(const std::string& packet) {
  return parse_mx_answer(reinterpret_cast<const unsigned char*>(packet.data()), packet.size());
}

using Names = std::vector<std::string>;

// By preference, lowest first; equal preferences keep the answer's order; a
// null MX (the root name) is no exchanger.
TEST(MxAnswer, exchangersComeByPreference) {
  Answer a("example.test");
  a.mx(20, "backup.example.test").mx(10, "main.example.test").mx(300, "last.example.test");
  a.mx(10, "main2.example.test").mx(0, "");
  MxLookup r = parse(a.bytes());
  EXPECT_EQ(r.resolver_error, 0);
  EXPECT_EQ(r.exchangers,
            (Names{"main.example.test", "main2.example.test", "backup.example.test", "last.example.test"}));
}

TEST(MxAnswer, compressedNamesAreExpandedAndOtherRecordsSkipped) {
  Answer a("example.test");
  a.record(5, Answer::encoded("alias.example.test"));  // a CNAME first
  // "mx" followed by a pointer to the question name at offset 12.
  a.record(15, std::string("\0\x05\x02mx\xc0\x0c", 7));
  MxLookup r = parse(a.bytes());
  EXPECT_EQ(r.exchangers, (Names{"mx.example.test"}));
}

TEST(MxAnswer, longNamesAreKeptWhole) {
  std::string label(63, 'a');
  std::string name = label + "." + label + "." + label + ".example.test";
  Answer a("example.test");
  a.mx(10, name);
  MxLookup r = parse(a.bytes());
  EXPECT_EQ(r.exchangers, (Names{name}));
}

// An exchanger is only ever a host name: an address literal, a port, an
// option or a name with other characters is dropped from the answer.
TEST(MxAnswer, exchangersThatAreNoHostNamesAreDropped) {
  const struct {
    std::string name;
    bool host;
  } cases[] = {
      {"mx.example.test", true},
      {"MX-1.Example.test", true},
      {"localhost", true},
      {"mx.example.test.", true},
      {"1mail.123.example", true},
      {"127.0.0.1", false},
      {"127.0.0.1:2525", false},
      {"mx.example.test:2525", false},
      {"[127.0.0.1]", false},
      {"::1", false},
      {"-oProxyCommand=x", false},
      {"mx.-x.test", false},
      {"mx-.test", false},
      {"mx..test", false},
      {"mx example.test", false},
      {"mx_1.example.test", false},
      {std::string(64, 'a') + ".test", false},
      {std::string(63, 'a') + ".test", true},
  };
  for (const auto& c : cases) EXPECT_EQ(is_host_name(c.name), c.host) << c.name;

  Answer a("example.test");
  a.mx(10, "127.0.0.1").mx(10, "127.0.0.1:2525").mx(10, "-oProxyCommand=x").mx(10, "mx example.test");
  a.mx(20, "mx.example.test");
  EXPECT_EQ(parse(a.bytes()).exchangers, (Names{"mx.example.test"}));
}

TEST(MxAnswer, damagedPacketsGiveNoExchanger) {
  Answer a("example.test");
  a.mx(10, "mx1.example.test").mx(20, "mx2.example.test");
  std::string whole = a.bytes();
  for (size_t cut : {size_t(0), size_t(5), size_t(20), whole.size() - 3}) {
    MxLookup r = parse(whole.substr(0, cut));
    EXPECT_EQ(r.resolver_error, MxLookup::kMalformed) << "cut at " << cut;
    EXPECT_LE(r.exchangers.size(), 1u);
  }
  // An exchanger name pointing outside the packet is skipped.
  Answer bad("example.test");
  bad.record(15, std::string("\0\x0a\xc0\xff", 4)).mx(20, "ok.example.test");
  EXPECT_EQ(parse(bad.bytes()).exchangers, (Names{"ok.example.test"}));
}

// The real resolver, answered by dnsmasq, which lists the less preferred
// exchanger first.
TEST(MxLookupQuery, answersFromTheSystemResolver) {
  test::DnsServer dns({{"example.test", "mx2.example.test", 20},
                       {"example.test", "mx1.example.test", 10},
                       {"example.test", "mx3.example.test", 30}},
                      {{"mx1.example.test", "127.0.0.3"}, {"plain.example.test", "127.0.0.4"}});
  ASSERT_TRUE(dns.running()) << dns.log();

  MxLookup several = lookup_mx("example.test");
  EXPECT_EQ(several.resolver_error, 0);
  EXPECT_EQ(several.exchangers, (Names{"mx1.example.test", "mx2.example.test", "mx3.example.test"}));

  MxLookup nxdomain = lookup_mx("nowhere.example.test");
  EXPECT_TRUE(nxdomain.exchangers.empty());
  EXPECT_EQ(nxdomain.resolver_error, HOST_NOT_FOUND);

  MxLookup no_mx = lookup_mx("plain.example.test");
  EXPECT_TRUE(no_mx.exchangers.empty());
  EXPECT_EQ(no_mx.resolver_error, NO_DATA);
  EXPECT_EQ(MxLookup::kNoMx, NO_DATA);
}

TEST(MxLookupQuery, noDnsServerGivesAnEmptyList) {
  MxLookup r = lookup_mx("example.test");
  EXPECT_TRUE(r.exchangers.empty());
  EXPECT_NE(r.resolver_error, 0);
}

}  // namespace
}  // namespace pw
