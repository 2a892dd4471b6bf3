#include "stores/log_record.h"

#include "base/fixed_field.h"

namespace pw {
namespace {

struct Field {
  std::string LogRecord::*member;
  size_t offset;
  size_t width;
};

constexpr Field kFields[] = {
    {&LogRecord::account, 0, 128},       {&LogRecord::time, 128, 32},     {&LogRecord::sender, 160, 128},
    {&LogRecord::recipients, 288, 1024}, {&LogRecord::subject, 1312, 128}, {&LogRecord::operation, 1440, 1024},
};
constexpr size_t kSuccess = 2464;

}  // namespace

std::string LogRecord::encode() const {
  std::string image(kSize, '\0');
  for (const Field& f : kFields) put_field(image.data() + f.offset, f.width, this->*f.member);
  image[kSuccess] = success ? 1 : 0;
  return image;
}

LogRecord LogRecord::decode(const char* image) {
  LogRecord r;
  for (const Field& f : kFields) r.*f.member = get_field(image + f.offset, f.width);
  r.success = image[kSuccess] != 0;
  return r;
}

}  // namespace pw
