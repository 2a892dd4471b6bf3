#include "stores/contact.h"

#include "base/fixed_field.h"

namespace pw {

std::string Contact::encode() const {
  std::string image(kSize, '\0');
  put_field(image.data(), 64, name);
  put_field(image.data() + 64, 128, address);
  put_field(image.data() + 192, 2048, description);
  write_le32(image.data() + 2240, id);
  return image;
}

Contact Contact::decode(const char* image) {
  Contact c;
  c.name = get_field(image, 64);
  c.address = get_field(image + 64, 128);
  c.description = get_field(image + 192, 2048);
  c.id = read_le32(image + 2240);
  return c;
}

}  // namespace pw
