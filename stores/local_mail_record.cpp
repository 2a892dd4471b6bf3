#include "stores/local_mail_record.h"

#include "base/fixed_field.h"

namespace pw {
namespace {

struct Field {
  std::string LocalMailRecord::*member;
  size_t offset;
  size_t width;
};

constexpr Field kFields[] = {
    {&LocalMailRecord::account, 0, 128},   {&LocalMailRecord::sender, 129, 128}, {&LocalMailRecord::subject, 257, 128},
    {&LocalMailRecord::mail_date, 385, 32}, {&LocalMailRecord::saved, 417, 32},   {&LocalMailRecord::path, 456, 260},
};
constexpr size_t kHasAttachment = 128;
constexpr size_t kSizeField = 452;

}  // namespace

std::string LocalMailRecord::encode() const {
  std::string image(kSize, '\0');
  for (const Field& f : kFields) put_field(image.data() + f.offset, f.width, this->*f.member);
  image[kHasAttachment] = has_attachment ? 1 : 0;
  write_le32(image.data() + kSizeField, size);
  return image;
}

LocalMailRecord LocalMailRecord::decode(const char* image) {
  LocalMailRecord r;
  for (const Field& f : kFields) r.*f.member = get_field(image + f.offset, f.width);
  r.has_attachment = image[kHasAttachment] != 0;
  r.size = read_le32(image + kSizeField);
  return r;
}

}  // namespace pw
