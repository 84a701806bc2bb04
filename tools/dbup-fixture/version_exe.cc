#include "version_exe.h"

#include <charconv>

namespace dbup::fixture {
namespace {

constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionRva = 0x1000;

void Put16(std::string& out, size_t at, uint16_t v) {
  out[at] = static_cast<char>(v & 0xff);
  out[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& out, size_t at, uint32_t v) {
  Put16(out, at, static_cast<uint16_t>(v & 0xffff));
  Put16(out, at + 2, static_cast<uint16_t>(v >> 16));
}

// VS_VERSIONINFO without children: header, key, padding, VS_FIXEDFILEINFO.
std::string VersionInfo(const FileVersion& v) {
  std::string block(92, '\0');
  Put16(block, 0, 92);  // wLength
  Put16(block, 2, 52);  // wValueLength: sizeof(VS_FIXEDFILEINFO)
  Put16(block, 4, 0);   // wType: binary
  const char key[] = "VS_VERSION_INFO";
  for (size_t i = 0; i < sizeof(key) - 1; ++i) Put16(block, 6 + 2 * i, key[i]);
  const size_t fixed = 40;  // 6 + 32 bytes of key, aligned to 4
  Put32(block, fixed + 0, 0xFEEF04BD);
  Put32(block, fixed + 4, 0x00010000);
  Put32(block, fixed + 8, (uint32_t{v.major} << 16) | v.minor);
  Put32(block, fixed + 12, (uint32_t{v.release} << 16) | v.build);
  Put32(block, fixed + 16, (uint32_t{v.major} << 16) | v.minor);
  Put32(block, fixed + 20, (uint32_t{v.release} << 16) | v.build);
  Put32(block, fixed + 24, 0x3F);     // dwFileFlagsMask
  Put32(block, fixed + 32, 0x40004);  // VOS_NT_WINDOWS32
  Put32(block, fixed + 36, 1);        // VFT_APP
  return block;
}

// Resource tree: type 16 (RT_VERSION) -> name 1 -> language 0x409 -> data.
std::string ResourceSection(const FileVersion& v) {
  std::string s(3 * 24 + 16, '\0');
  auto directory = [&](size_t at, uint32_t id, uint32_t target, bool subdir) {
    Put16(s, at + 14, 1);  // one ID entry
    Put32(s, at + 16, id);
    Put32(s, at + 20, target | (subdir ? 0x80000000u : 0));
  };
  directory(0, 16, 24, true);
  directory(24, 1, 48, true);
  directory(48, 0x409, 72, false);
  const std::string info = VersionInfo(v);
  const uint32_t data_offset = static_cast<uint32_t>(s.size());
  Put32(s, 72, kSectionRva + data_offset);
  Put32(s, 76, static_cast<uint32_t>(info.size()));
  s += info;
  return s;
}

}  // namespace

bool ParseFileVersion(const std::string& text, FileVersion* version) {
  uint16_t* parts[] = {&version->major, &version->minor, &version->release, &version->build};
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (int i = 0; i < 4; ++i) {
    unsigned value = 0;
    auto [next, ec] = std::from_chars(p, end, value);
    if (ec != std::errc() || value > 0xffff) return false;
    *parts[i] = static_cast<uint16_t>(value);
    p = next;
    if (i < 3) {
      if (p == end || *p != '.') return false;
      ++p;
    }
  }
  return p == end;
}

std::string BuildVersionExe(const FileVersion& version) {
  const std::string rsrc = ResourceSection(version);
  const uint32_t raw_size =
      (static_cast<uint32_t>(rsrc.size()) + kFileAlignment - 1) & ~(kFileAlignment - 1);
  std::string image(kFileAlignment + raw_size, '\0');

  image[0] = 'M';
  image[1] = 'Z';
  Put32(image, 0x3C, 0x40);  // e_lfanew
  image.replace(0x40, 4, std::string("PE\0\0", 4));

  const size_t coff = 0x44;
  Put16(image, coff + 0, 0x14C);    // i386
  Put16(image, coff + 2, 1);        // one section
  Put16(image, coff + 16, 0xE0);    // size of the optional header
  Put16(image, coff + 18, 0x0102);  // executable image, 32-bit

  const size_t opt = coff + 20;
  Put16(image, opt + 0, 0x10B);      // PE32
  Put32(image, opt + 8, raw_size);   // SizeOfInitializedData
  Put32(image, opt + 28, 0x400000);  // ImageBase
  Put32(image, opt + 32, 0x1000);    // SectionAlignment
  Put32(image, opt + 36, kFileAlignment);
  Put16(image, opt + 40, 4);                     // MajorOperatingSystemVersion
  Put16(image, opt + 48, 4);                     // MajorSubsystemVersion
  Put32(image, opt + 56, kSectionRva + 0x1000);  // SizeOfImage
  Put32(image, opt + 60, kFileAlignment);        // SizeOfHeaders
  Put16(image, opt + 68, 2);                     // Windows GUI
  Put32(image, opt + 72, 0x100000);              // stack reserve
  Put32(image, opt + 76, 0x1000);                // stack commit
  Put32(image, opt + 80, 0x100000);              // heap reserve
  Put32(image, opt + 84, 0x1000);                // heap commit
  Put32(image, opt + 92, 16);                    // NumberOfRvaAndSizes
  Put32(image, opt + 96 + 2 * 8, kSectionRva);   // resource directory
  Put32(image, opt + 96 + 2 * 8 + 4, static_cast<uint32_t>(rsrc.size()));

  const size_t section = opt + 0xE0;
  image.replace(section, 5, ".rsrc");
  Put32(image, section + 8, static_cast<uint32_t>(rsrc.size()));  // VirtualSize
  Put32(image, section + 12, kSectionRva);
  Put32(image, section + 16, raw_size);
  Put32(image, section + 20, kFileAlignment);  // PointerToRawData
  Put32(image, section + 36, 0x40000040);      // initialized data, readable

  image.replace(kFileAlignment, rsrc.size(), rsrc);
  return image;
}

}  // namespace dbup::fixture
