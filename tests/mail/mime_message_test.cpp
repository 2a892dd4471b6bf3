#include "mail/mime_message.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/code_page.h"
#include "mail/base64.h"
#include "support/temp_dir.h"

namespace pw {
namespace {

namespace fs = std::filesystem;

// Mails are written here with '\n'; this gives them the CR LF of POP3.
std::string crlf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\r\n";
    else out.push_back(c);
  }
  return out;
}

// The tree as "type/subtype(children...)", for structure checks.
std::string shape(const MimeMessage::Part& p) {
  std::string s = p.type + "/" + p.subtype;
  if (p.type.empty()) s = "-";
  if (!p.children.empty()) {
    s += "(";
    for (size_t i = 0; i < p.children.size(); ++i) s += (i ? "," : "") + shape(p.children[i]);
    s += ")";
  }
  return s;
}

std::string shape(const MimeMessage& m) { return m.root() ? shape(*m.root()) : "none"; }

std::vector<std::string> files_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(MimeMessage, mailWithoutContentTypeGivesItsWholeBody) {
  MimeMessage m(crlf("From: a@example.com\nSubject: hi\n\nline one\n\nline two\n\n"));
  EXPECT_EQ(m.text_body(), "line one\r\n\r\nline two");
  EXPECT_EQ(m.html_body(), "");
  EXPECT_FALSE(m.has_html());
  EXPECT_FALSE(m.has_attachment());
  EXPECT_EQ(m.attachment_count(), 0);
}

TEST(MimeMessage, headerOnlyMailHasAnEmptyBody) {
  MimeMessage m(crlf("From: a@example.com\nSubject: hi\n"));
  EXPECT_EQ(m.text_body(), "");
  MimeMessage empty("");
  EXPECT_EQ(empty.text_body(), "");
  EXPECT_EQ(empty.attachment_count(), 0);
}

const char* const kAlternative =
    "Content-Type: multipart/alternative; boundary=\"alt\"\n"
    "\n"
    "preamble\n"
    "--alt\n"
    "Content-Type: text/plain; charset=gb2312\n"
    "\n"
    "plain text\n"
    "--alt\n"
    "Content-Type: text/html; charset=gb2312\n"
    "\n"
    "<p>html text</p>\n"
    "--alt--\n"
    "epilogue\n";

TEST(MimeMessage, alternativeGivesBothBodies) {
  MimeMessage m(crlf(kAlternative));
  EXPECT_EQ(shape(m), "multipart/alternative(text/plain,text/html)");
  EXPECT_EQ(m.text_body(), "plain text");
  EXPECT_EQ(m.html_body(), "<p>html text</p>");
  EXPECT_TRUE(m.has_html());
  EXPECT_FALSE(m.has_attachment());
}

TEST(MimeMessage, bareLineFeedsAreReadToo) {
  MimeMessage m(kAlternative);
  EXPECT_EQ(m.text_body(), "plain text");
  EXPECT_EQ(m.html_body(), "<p>html text</p>");
}

TEST(MimeMessage, alternativeWithOnlyHtmlHasNoTextBody) {
  MimeMessage m(crlf("Content-Type: multipart/alternative; boundary=b\n\n--b\nContent-Type: text/html\n\n<b>x</b>\n--b--\n"));
  EXPECT_EQ(m.text_body(), "");
  EXPECT_EQ(m.html_body(), "<b>x</b>");
}

TEST(MimeMessage, textBodyComesOnlyFromTheFirstChildChain) {
  const char* with_plain =
      "Content-Type: multipart/mixed; boundary=out\n\n"
      "--out\nContent-Type: multipart/alternative; boundary=in\n\n"
      "--in\nContent-Type: text/plain\n\ninner plain\n"
      "--in\nContent-Type: text/html\n\n<p>inner</p>\n--in--\n"
      "--out\nContent-Type: text/plain\n\nouter plain\n--out--\n";
  MimeMessage a(crlf(with_plain));
  EXPECT_EQ(shape(a), "multipart/mixed(multipart/alternative(text/plain,text/html),text/plain)");
  EXPECT_EQ(a.text_body(), "inner plain");

  const char* without_plain =
      "Content-Type: multipart/mixed; boundary=out\n\n"
      "--out\nContent-Type: multipart/alternative; boundary=in\n\n"
      "--in\nContent-Type: text/html\n\n<p>inner</p>\n--in--\n"
      "--out\nContent-Type: text/plain\n\nouter plain\n--out--\n";
  MimeMessage b(crlf(without_plain));
  EXPECT_EQ(b.text_body(), "");
  EXPECT_EQ(b.html_body(), "<p>inner</p>");
}

TEST(MimeMessage, transferEncodingsOfTextBodies) {
  std::string gb = utf8_to_gb("中文正文，第二句。");
  std::string b64 = base64_encode(gb);
  struct Case {
    const char* name;
    std::string mail;
  } cases[] = {
      {"base64 with line breaks",
       "Content-Type: text/plain; charset=gb2312\nContent-Transfer-Encoding: base64\n\n" + b64.substr(0, 8) + "\n" +
           b64.substr(8) + "\n"},
      {"base64 on one line", "Content-Type: text/plain\nContent-Transfer-Encoding: base64\n\n" + b64 + "\n"},
      {"base64 without padding",
       "Content-Type: text/plain\nContent-Transfer-Encoding: Base64\n\n" + base64_encode_unpadded(gb) + "\n"},
      {"quoted-printable with soft breaks",
       "Content-Type: text/plain\nContent-Transfer-Encoding: quoted-printable\n\n" +
           std::string("=D6=D0=CE=C4=D5=FD=\n=CE=C4=A3=AC=B5=DA=B6=FE=BE=E4=A1=A3\n")},
      {"8bit", "Content-Type: text/plain\nContent-Transfer-Encoding: 8bit\n\n" + gb + "\n\n\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MimeMessage(crlf(c.mail)).text_body(), gb) << c.name;
  }
}

TEST(MimeMessage, headerNamesAreFoundInAnyCaseAndSpacing) {
  MimeMessage m(crlf("CONTENT-TYPE : TEXT/PLAIN\ncontent-transfer-encoding:  BASE64 \n\nYWJj\n"));
  EXPECT_EQ(m.text_body(), "abc");
}

struct CharsetCase {
  const char* charset;
  std::string bytes;
  std::string expected;
};

TEST(MimeMessage, textInOtherCharsetsIsConvertedToTheSystemCodePage) {
  std::string gb = utf8_to_gb("会议通知");
  const CharsetCase cases[] = {
      {"utf-8", "会议通知", gb},
      {"\"UTF-8\"", "会议通知", gb},
      {"big5", *transcode("會議通知", "UTF-8", "BIG5"), utf8_to_gb("會議通知")},
      {"gb2312", gb, gb},
      {"GBK", gb, gb},
      {"us-ascii", "plain", "plain"},
      {"x-no-such-charset", "\xb0\xa1", "\xb0\xa1"},
      {"utf-8", "broken \xff utf-8", "broken \xff utf-8"},  // invalid text stays as it came
  };
  for (const auto& c : cases) {
    std::string text = "Content-Type: text/plain; charset=" + std::string(c.charset) + "\n\n" + c.bytes + "\n";
    EXPECT_EQ(MimeMessage(crlf(text)).text_body(), c.expected) << c.charset;
    std::string html = "Content-Type: text/html;\n\tcharset=" + std::string(c.charset) + "\n\n" + c.bytes + "\n";
    EXPECT_EQ(MimeMessage(crlf(html)).html_body(), c.expected) << c.charset;
  }
  std::string no_charset = "Content-Type: text/plain\n\n\xe4\xbc\x9a\n";
  EXPECT_EQ(MimeMessage(crlf(no_charset)).text_body(), "\xe4\xbc\x9a");
}

TEST(MimeMessage, forwardedMessageIsAnAttachmentNamedAttachEmail) {
  std::string inner =
      "From: b@example.org\nSubject: original\nContent-Type: multipart/mixed; boundary=in\n\n"
      "--in\nContent-Type: text/plain\nContent-Transfer-Encoding: base64\n\nYWJj\n--in--";
  std::string mail = "Content-Type: multipart/mixed; boundary=out\n\n"
                     "--out\nContent-Type: text/plain\n\nsee below\n"
                     "--out\nContent-Type: message/rfc822\n\n" +
                     inner + "\n--out--\n";
  MimeMessage m(crlf(mail));
  EXPECT_EQ(m.text_body(), "see below");
  EXPECT_TRUE(m.has_attachment());
  ASSERT_EQ(m.attachment_count(), 1);
  EXPECT_EQ(m.attachment_name(0), "AttachEmail.eml");
  // The forwarded mail is saved as it is: the encodings inside it belong to
  // its own parts.
  EXPECT_EQ(m.attachment_data(0), crlf(inner));
}

TEST(MimeMessage, attachmentsAreNamedFromTheirDisposition) {
  std::string gb_name = utf8_to_gb("年终总结.doc");
  std::string mail =
      "Content-Type: multipart/mixed; boundary=\"=_b_=\"\n\n"
      "--=_b_=\nContent-Type: text/plain\n\nbody\n"
      "--=_b_=\nContent-Type: application/msword; name=\"x\"\nContent-Transfer-Encoding: base64\n"
      "Content-Disposition: attachment;\n\tfilename=\"=?gb2312?B?" + base64_encode(gb_name) + "?=\"\n\nYWJj\n"
      "--=_b_=\nContent-Type: application/pdf\nContent-Disposition: attachment; filename=\"=?utf-8?Q?"
      "=E5=8F=91=E7=A5=A8.pdf?=\"\nContent-Transfer-Encoding: quoted-printable\n\n%PDF=3D\n"
      "--=_b_=\nContent-Type: application/octet-stream\nContent-Disposition: attachment;\n\nraw bytes\n"
      "--=_b_=\nContent-Type: message/rfc822; name=\"fwd.eml\"\n\nSubject: x\n\nhello\n"
      "--=_b_=--\n";
  MimeMessage m(crlf(mail));
  ASSERT_EQ(m.attachment_count(), 4);
  EXPECT_EQ(m.attachment_name(0), gb_name);
  EXPECT_EQ(m.attachment_data(0), "abc");
  EXPECT_EQ(m.attachment_name(1), utf8_to_gb("发票.pdf"));
  EXPECT_EQ(m.attachment_data(1), "%PDF=");
  EXPECT_EQ(m.attachment_name(2), "");
  EXPECT_EQ(m.attachment_data(2), "raw bytes");
  EXPECT_EQ(m.attachment_name(3), "fwd.eml");
  EXPECT_EQ(m.attachment_name(4), "");
  EXPECT_EQ(m.attachment_data(4), std::nullopt);
  EXPECT_EQ(m.attachment_data(-1), std::nullopt);
}

TEST(MimeMessage, inlinePictureIsAnAttachmentUnlessItHasAContentId) {
  const char* with_id =
      "Content-Type: multipart/related; boundary=r\n\n"
      "--r\nContent-Type: text/html\n\n<img src=\"cid:a\">\n"
      "--r\nContent-Type: image/gif\nContent-ID: <a>\nContent-Disposition: inline; filename=a.gif\n\nGIF\n--r--\n";
  EXPECT_FALSE(MimeMessage(crlf(with_id)).has_attachment());
  const char* without_id =
      "Content-Type: multipart/mixed; boundary=r\n\n"
      "--r\nContent-Type: text/plain\n\nphoto\n"
      "--r\nContent-Type: image/jpeg\nContent-Disposition: inline;\n\tfilename=photo.jpg\n\nJPG\n--r--\n";
  MimeMessage m(crlf(without_id));
  EXPECT_TRUE(m.has_attachment());
  ASSERT_EQ(m.attachment_count(), 1);
  EXPECT_EQ(m.attachment_name(0), "photo.jpg");
}

TEST(MimeMessage, namedPartsAreAttachmentsUnlessShownAsTheBody) {
  struct Case {
    const char* what;
    const char* mail;
    int count;
  };
  const Case cases[] = {
      {"a named text part after the body",
       "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\nbody\n"
       "--b\nContent-Type: text/plain; name=\"msg.txt\"\n\nfile\n--b--\n",
       1},
      {"the named body itself",
       "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain; name=\"msg.txt\"\n\nbody\n--b--\n",
       0},
      {"a named picture the HTML refers to by Content-ID",
       "Content-Type: multipart/related; boundary=r\n\n--r\nContent-Type: text/html\n\n<img src=\"cid:a\">\n"
       "--r\nContent-Type: image/gif; name=\"a.gif\"\nContent-ID: <a>\n\nGIF\n--r--\n",
       0},
      {"an unnamed part without disposition",
       "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\nbody\n"
       "--b\nContent-Type: text/plain\n\nmore\n--b--\n",
       0},
  };
  for (const Case& c : cases) EXPECT_EQ(MimeMessage(crlf(c.mail)).attachment_count(), c.count) << c.what;
}

TEST(MimeMessage, attachmentNamesNeverLeaveTheirDirectory) {
  struct Case {
    std::string raw;
    const char* expected;
  } cases[] = {
      {"../../.bashrc", ".bashrc"},
      {"/etc/passwd", "passwd"},
      {"C:\\x\\..\\y", "y"},
      {"..", ""},
      {"dir/..", ""},
      {"=?utf-8?B?" + base64_encode("../../escape.txt") + "?=", "escape.txt"},
      {"a\tb.txt", "ab.txt"},
  };
  for (const auto& c : cases) {
    std::string mail = "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\nx\n"
                       "--b\nContent-Type: application/octet-stream\nContent-Disposition: attachment; filename=\"" +
                       c.raw + "\"\n\ndata\n--b--\n";
    MimeMessage m(crlf(mail));
    ASSERT_EQ(m.attachment_count(), 1) << c.raw;
    EXPECT_EQ(m.attachment_name(0), c.expected) << c.raw;
  }
  std::string long_name(300, 'n');
  MimeMessage m(crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: a/b\n"
                     "Content-Disposition: attachment; filename=" + long_name + ".pdf\n\nx\n--b--\n"));
  ASSERT_EQ(m.attachment_count(), 1);
  EXPECT_EQ(m.attachment_name(0), std::string(196, 'n') + ".pdf");
}

std::string related_mail(std::string_view html, std::string_view picture_headers, std::string_view more = "") {
  return crlf("Content-Type: multipart/related; boundary=rel\n\n"
              "--rel\nContent-Type: text/html; charset=us-ascii\n\n" + std::string(html) + "\n"
              "--rel\nContent-Type: image/png;\n\tname=\"front.png\"\nContent-Transfer-Encoding: base64\n" +
              std::string(picture_headers) + "\n\nUE5HMQ==\n" + std::string(more) + "--rel--\n");
}

TEST(MimeMessageResources, cidPicturesAreWrittenAndReferencesRewritten) {
  test::TempDir dir;
  std::string mail = related_mail(
      "<base href=\"http://x/\"><img src=\"cid:one@x\"><img src=\"cid:two@x\"><img src=\"cid:one@x\">",
      "Content-ID: <one@x>",
      "--rel\nContent-Type: image/png; name=back.png\nContent-Transfer-Encoding: base64\n"
      "Content-ID: <two@x>\n\nUE5HMg==\n");
  MimeMessage m(mail);
  EXPECT_EQ(m.html_body(dir.path()), "<img src=\"front.png\"><img src=\"back.png\"><img src=\"front.png\">");
  EXPECT_EQ(dir.read("front.png"), "PNG1");
  EXPECT_EQ(dir.read("back.png"), "PNG2");
  EXPECT_FALSE(m.has_attachment());

  // A second view finds the names taken and counts on.
  EXPECT_EQ(m.html_body(dir.path()), "<img src=\"front001.png\"><img src=\"back001.png\"><img src=\"front001.png\">");
  EXPECT_EQ(m.html_body(dir.path()), "<img src=\"front002.png\"><img src=\"back002.png\"><img src=\"front002.png\">");
  EXPECT_EQ(dir.read("front002.png"), "PNG1");
  // Without a directory the HTML is returned as it came.
  EXPECT_EQ(m.html_body(), "<base href=\"http://x/\"><img src=\"cid:one@x\"><img src=\"cid:two@x\"><img src=\"cid:one@x\">");
}

TEST(MimeMessageResources, manyPicturesOfOneNameStopAtTheCap) {
  test::TempDir dir;
  const int count = MimeMessage::kMaxResources + 3;
  std::string html = "<base href=\"http://x/\">", more;
  for (int k = 1; k < count; ++k) {
    html += "<img src=\"cid:p" + std::to_string(k) + "\">";
    more += "--rel\nContent-Type: image/png; name=front.png\nContent-ID: <p" + std::to_string(k) + ">\n\nPNG\n";
  }
  MimeMessage m(related_mail(html + "<base href=\"http://y/\"><img src=\"cid:p0\">", "Content-ID: <p0>", more));
  const std::string shown = m.html_body(dir.path());
  // Every base address goes; the pictures past the cap keep their cid: names.
  EXPECT_EQ(shown.find("<base"), std::string::npos);
  EXPECT_EQ(files_in(dir.path()).size(), size_t{MimeMessage::kMaxResources});
  EXPECT_EQ(dir.read("front.png"), "PNG1");
  EXPECT_EQ(dir.read("front255.png"), "PNG");
  EXPECT_NE(shown.find("<img src=\"front001.png\"><img src=\"front002.png\">"), std::string::npos);
  EXPECT_NE(shown.find("<img src=\"cid:p256\">"), std::string::npos);
}

TEST(MimeMessageResources, unnamedPictureIsStoredAsUnknow) {
  test::TempDir dir;
  MimeMessage m(crlf("Content-Type: multipart/related; boundary=r\n\n--r\nContent-Type: text/html\n\n"
                     "<img src=\"cid:logo\">\n--r\nContent-Type: image/gif\nContent-ID: <logo>\n\nGIF\n--r--\n"));
  EXPECT_EQ(m.html_body(dir.path()), "<img src=\"Unknow\">");
  EXPECT_EQ(m.html_body(dir.path()), "<img src=\"Unknow001\">");
  EXPECT_EQ(files_in(dir.path()), (std::vector<std::string>{"Unknow", "Unknow001"}));
  EXPECT_EQ(dir.read("Unknow"), "GIF");
}

TEST(MimeMessageResources, contentLocationIsUsedWhenThereIsNoCid) {
  test::TempDir dir;
  std::string mail = related_mail("<img src=\"http://x/logo.png\"> <img src=\"http://x/logo.png\">",
                                  "Content-Location: http://x/logo.png");
  EXPECT_EQ(MimeMessage(mail).html_body(dir.path()), "<img src=\"front.png\"> <img src=\"front.png\">");
  EXPECT_EQ(dir.read("front.png"), "PNG1");
}

TEST(MimeMessageResources, unreferencedOrEmptyReferencesWriteNothing) {
  test::TempDir dir;
  for (const char* headers : {"Content-ID: <>", "Content-Location: ", "Content-ID: <other@x>", "X-Nothing: 1"}) {
    std::string html = "<base href=\"x\"><img src=\"cid:one@x\">";
    EXPECT_EQ(MimeMessage(related_mail(html, headers)).html_body(dir.path()), html) << headers;
  }
  EXPECT_TRUE(files_in(dir.path()).empty());
}

TEST(MimeMessageResources, aLongerCidIsNotMistakenForAShorterOne) {
  test::TempDir dir;
  std::string mail = related_mail("<img src=\"cid:img10\"><img src=\"cid:img1\">", "Content-ID: <img1>",
                                  "--rel\nContent-Type: image/png; name=ten.png\nContent-ID: <img10>\n\nTEN\n");
  EXPECT_EQ(MimeMessage(mail).html_body(dir.path()), "<img src=\"ten.png\"><img src=\"front.png\">");
}

TEST(MimeMessageResources, hostileResourceNamesStayInTheDirectory) {
  test::TempDir outer;
  fs::path dir = outer / "MailTemp";
  fs::create_directory(dir);
  const char* names[] = {"../../.bashrc", "/etc/passwd", "C:\\x\\..\\y", "..", "a;b#c%d'e.png", "sub/dir/"};
  for (const char* name : names) {
    std::string mail = crlf(std::string("Content-Type: multipart/related; boundary=r\n\n--r\nContent-Type: text/html\n\n"
                                        "<img src=\"cid:p\">\n--r\nContent-Type: image/png; name=\"") +
                            name + "\"\nContent-ID: <p>\n\nPIC\n--r--\n");
    std::string html = MimeMessage(mail).html_body(dir);
    EXPECT_EQ(html.find("cid:"), std::string::npos) << name;
  }
  EXPECT_EQ(files_in(outer.path()), std::vector<std::string>{"MailTemp"});
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{".bashrc", "Unknow", "Unknow001", "abcde.png", "passwd", "y"}));
}

TEST(MimeMessageResources, existingFilesAndLinksAreNeverOverwritten) {
  test::TempDir dir;
  dir.write("front.png", "keep");
  fs::create_symlink("/nonexistent/target", dir / "front001.png");
  std::string mail = related_mail("<img src=\"cid:one@x\">", "Content-ID: <one@x>");
  EXPECT_EQ(MimeMessage(mail).html_body(dir.path()), "<img src=\"front002.png\">");
  EXPECT_EQ(dir.read("front.png"), "keep");
  EXPECT_EQ(dir.read("front002.png"), "PNG1");
}

TEST(MimeMessageResources, missingDirectoryStillGivesTheHtml) {
  test::TempDir dir;
  std::string mail = related_mail("<img src=\"cid:one@x\">", "Content-ID: <one@x>");
  EXPECT_EQ(MimeMessage(mail).html_body(dir / "missing"), "<img src=\"front.png\">");
  EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST(MimeMessageResources, mixedMailWithRelatedAlternativeUsesTheRelatedPart) {
  test::TempDir dir;
  const char* mail =
      "Content-Type: multipart/mixed; boundary=m\n\n"
      "--m\nContent-Type: multipart/related; boundary=r\n\n"
      "--r\nContent-Type: multipart/alternative; boundary=a\n\n"
      "--a\nContent-Type: text/plain\n\nplain\n"
      "--a\nContent-Type: text/html\n\n<img src=\"cid:i\">\n--a--\n"
      "--r\nContent-Type: image/png; name=i.png\nContent-ID: <i>\n\nIMG\n--r--\n"
      "--m\nContent-Type: application/pdf; name=a.pdf\nContent-Disposition: attachment; filename=a.pdf\n\nPDF\n--m--\n";
  MimeMessage m(crlf(mail));
  EXPECT_EQ(shape(m),
            "multipart/mixed(multipart/related(multipart/alternative(text/plain,text/html),image/png),"
            "application/pdf)");
  EXPECT_EQ(m.text_body(), "plain");
  EXPECT_EQ(m.html_body(dir.path()), "<img src=\"i.png\">");
  EXPECT_EQ(dir.read("i.png"), "IMG");
  ASSERT_EQ(m.attachment_count(), 1);
  EXPECT_EQ(m.attachment_name(0), "a.pdf");
}

TEST(MimeMessageStructure, boundaryIsFoundInEveryWayItIsWritten) {
  struct Case {
    const char* name;
    const char* content_type;
    const char* delimiter;
  } cases[] = {
      {"quoted", "multipart/mixed; boundary=\"q1\"", "--q1"},
      {"bare with parameter after", "multipart/mixed; boundary=q2; charset=x", "--q2"},
      {"next line", "multipart/mixed;\n\tboundary=\"q3\"", "--q3"},
      {"capitalised name", "multipart/mixed; BOUNDARY=q4", "--q4"},
      {"blank inside", "multipart/mixed; boundary=\"a b\"", "--a b"},
      {"delimiter in other case", "multipart/mixed; boundary=abc", "--ABC"},
  };
  for (const auto& c : cases) {
    std::string mail = std::string("Content-Type: ") + c.content_type + "\n\n" + c.delimiter +
                       "\nContent-Type: text/plain\n\none\n" + c.delimiter + "\nContent-Type: text/plain\n\ntwo\n" +
                       c.delimiter + "--\n";
    MimeMessage m(crlf(mail));
    EXPECT_EQ(shape(m), "multipart/mixed(text/plain,text/plain)") << c.name;
    EXPECT_EQ(m.text_body(), "one") << c.name;
  }
}

TEST(MimeMessageStructure, delimiterMustEndWhereTheBoundaryEnds) {
  const char* mail =
      "Content-Type: multipart/mixed; boundary=b\n\n"
      "--b\nContent-Type: multipart/alternative; boundary=b2\n\n"
      "--b2\nContent-Type: text/plain\n\ninner\n--b2--\n"
      "--b\nContent-Type: text/plain\n\nsecond\n--b--\n";
  EXPECT_EQ(shape(MimeMessage(crlf(mail))), "multipart/mixed(multipart/alternative(text/plain),text/plain)");
}

TEST(MimeMessageStructure, damagedMultipartKeepsWhatCanBeRead) {
  struct Case {
    const char* name;
    const char* mail;
    const char* shape;
  } cases[] = {
      {"no boundary parameter", "Content-Type: multipart/mixed\n\nbody\n", "none"},
      {"empty boundary", "Content-Type: multipart/mixed; boundary=\"\"\n\nbody\n", "none"},
      {"no delimiter and no header end", "Content-Type: multipart/mixed; boundary=x", "none"},
      {"no delimiter: the body is the only part",
       "Content-Type: multipart/mixed; boundary=x\n\nContent-Type: text/plain\n\nonly\n", "multipart/mixed(text/plain)"},
      {"part without Content-Type is text/plain",
       "Content-Type: multipart/mixed; boundary=x\n\n--x\n\nno header\n--x\nContent-Type: text/plain\n\nb\n--x--\n",
       "multipart/mixed(text/plain,text/plain)"},
      {"a header line in a body is not the part's",
       "Content-Type: multipart/mixed; boundary=x\n\n--x\nX-A: 1\n\nContent-Type: text/html\n--x--\n",
       "multipart/mixed(text/plain)"},
      {"a header name inside another header's value is no header",
       "Subject: Content-Type: multipart/mixed; boundary=x\nContent-Type: text/html\n\n--x\n", "text/html"},
      {"type without slash is dropped",
       "Content-Type: multipart/mixed; boundary=x\n\n--x\nContent-Type: text\n\nx\n--x--\n", "multipart/mixed"},
      {"cut before the closing delimiter keeps the last part",
       "Content-Type: multipart/mixed; boundary=x\n\n--x\nContent-Type: text/plain\n\na\n--x\n"
       "Content-Type: application/zip\n\nPK",
       "multipart/mixed(text/plain,application/zip)"},
  };
  for (const auto& c : cases) {
    MimeMessage m(crlf(c.mail));
    EXPECT_EQ(shape(m), c.shape) << c.name;
    (void)m.text_body();
    (void)m.html_body();
  }
}

TEST(MimeMessageStructure, singlePartSplitsItsHeadersFromItsBody) {
  MimeMessage m(crlf("Received: x\nContent-Type: image/png;\n\tname=\"a, b.png\",\n\tx=1\nX-A: 1\n"
                     "Content-Transfer-Encoding: base64\nContent-ID: <c>\n\nUE5H\n\n\n"));
  const MimeMessage::Part* p = m.root();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->type, "image");
  EXPECT_EQ(p->subtype, "png");
  EXPECT_EQ(p->parameters, "\r\n\tname=\"a,b.png\",\r\n\tx=1\r\n");
  EXPECT_EQ(p->transfer_encoding, "base64");
  EXPECT_EQ(p->other_headers, "Received: x\r\nX-A: 1\r\nContent-ID: <c>\r\n");
  EXPECT_EQ(p->body, "UE5H");
}

TEST(MimeMessageStructure, parametersRunningIntoTheNextHeaderLeaveNoOtherHeaders) {
  // The text part as the composer writes it: the ';' ends the line.
  MimeMessage m(crlf("Content-Type: text/plain;\nContent-Transfer-Encoding: base64\n\nYWJj\n"));
  ASSERT_NE(m.root(), nullptr);
  EXPECT_EQ(m.root()->other_headers, "");
  EXPECT_EQ(m.root()->transfer_encoding, "base64");
  EXPECT_EQ(m.text_body(), "abc");
}

TEST(MimeMessageStructure, nestingAndPartCountAreBounded) {
  // Far deeper than the limit: parsing and every query finish, and the tree
  // stops at the limit with an opaque part.
  std::string deep;
  const int levels = 5000;
  for (int i = 0; i < levels; ++i) deep += "Content-Type: multipart/mixed; boundary=\"d" + std::to_string(i) + "\"\n\n--d" + std::to_string(i) + "\n";
  deep += "Content-Type: text/plain\n\ndeep\n";
  MimeMessage m(crlf(deep));
  int depth = 0;
  for (const MimeMessage::Part* p = m.root(); p && !p->children.empty(); p = &p->children[0]) ++depth;
  EXPECT_EQ(depth, MimeMessage::kMaxDepth);
  EXPECT_EQ(m.text_body(), "");

  std::string shallow;
  for (int i = 0; i < 20; ++i) shallow += "Content-Type: multipart/mixed; boundary=\"d" + std::to_string(i) + "\"\n\n--d" + std::to_string(i) + "\n";
  shallow += "Content-Type: text/plain\n\nfound\n";
  EXPECT_EQ(MimeMessage(crlf(shallow)).text_body(), "found");

  std::string many = "Content-Type: multipart/mixed; boundary=b\n\n";
  for (int i = 0; i < 20000; ++i) many += "--b\nContent-Type: a/b\nContent-Disposition: attachment; filename=f\n\nx\n";
  many += "--b--\n";
  MimeMessage wide(crlf(many));
  ASSERT_NE(wide.root(), nullptr);
  EXPECT_EQ(wide.root()->children.size(), MimeMessage::kMaxParts);
  EXPECT_EQ(wide.attachment_count(), static_cast<int>(MimeMessage::kMaxParts));
}

TEST(MimeMessage, parseReplacesTheEarlierMail) {
  MimeMessage m(crlf(kAlternative));
  m.parse(crlf("Subject: x\n\nsecond"));
  EXPECT_EQ(m.text_body(), "second");
  EXPECT_FALSE(m.has_html());
  m.parse(crlf("Content-Type: multipart/mixed; boundary=x"));
  EXPECT_EQ(m.root(), nullptr);
  EXPECT_EQ(m.text_body(), "");
}

TEST(MimeMessage, bodiesSurviveAMove) {
  // Short mails live inside the string object itself; the parsed bodies must
  // not point into a moved-from string.
  MimeMessage a("Subject: x\r\n\r\nhi");
  MimeMessage b(std::move(a));
  MimeMessage c;
  c = std::move(b);
  EXPECT_EQ(c.text_body(), "hi");
}

}  // namespace
}  // namespace pw
