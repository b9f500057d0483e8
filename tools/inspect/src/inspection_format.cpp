#include <cstdio>
#include <string>

#include "inspect/image_inspection.h"

namespace inspect {

namespace {

std::string Hex(uint64_t v, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%0*llX", digits, static_cast<unsigned long long>(v));
  return buf;
}

std::string Printable(const std::string& s) { return PrintableText(s); }

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", c);
      out += buf;
    }
  }
  return out + "\"";
}

}  // namespace

std::string PrintableText(const std::string& bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    // 0xFF is erased flash, not a letter.
    if ((c >= 0x20 && c < 0x7F) || (c > 0xA0 && c < 0xFF)) {
      if (c < 0x80) {
        out.push_back(static_cast<char>(c));
      } else {  // Latin-1 to UTF-8
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      }
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < bytes.size() && bytes[i + run] == bytes[i]) ++run;
    char buf[40];
    if (run > 1)
      std::snprintf(buf, sizeof buf, "\\x%02X x%zu", c, run);
    else
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
    out += buf;
    i += run;
  }
  return out;
}

std::string FormatText(const Inspection& r) {
  std::string t;
  auto line = [&t](const std::string& label, const std::string& value) {
    t += label;
    t.append(label.size() < 20 ? 20 - label.size() : 1, ' ');
    t += value + "\n";
  };
  char flag[8];
  std::snprintf(flag, sizeof flag, "0x%02X", r.flagWord);
  line("Layout:", r.layout + " (FLAG " + flag + "; " +
                      (r.layoutReason == "--flag" ? "from --flag" : r.layoutReason) + ")");
  line("File size:", std::to_string(r.fileSize));
  if (r.programFile) line("Source:", "a program file carrying a package; the package's image is shown");
  else if (r.packageHeader) line("Source:", "a package; the package's image is shown");
  if (r.packageHeader) {
    line("Package header:", "at file offset " + Hex(r.headerOffset, 8));
    if (!r.settingsText.empty()) {
      line("Package settings:", Printable(r.settingsText));
      std::string on;
      for (const std::string& s : r.settingsOn) on += (on.empty() ? "" : " ") + s;
      line("Settings on:", on.empty() ? "(none)" : on);
    }
  } else {
    line("Package header:", "none");
  }
  line("Image:", "offset " + Hex(r.imageOffset, 8) + ", " + std::to_string(r.imageSize) + " bytes");
  line("Model code:", Printable(r.modelCode));
  line("Version:", Printable(r.versionText));
  line("Serial number:", Printable(r.serial));
  line("Date:", Printable(r.dateText));
  line("Build time:", Printable(r.buildTimeText));
  line("Release number:", std::to_string(r.releaseNumber));
  line("Build-time number:", std::to_string(r.buildTimeNumber));
  line("Checksum:", Hex(r.checksum, 4));
  line("Flash module:", r.flashModule >= 0 ? "at " + Hex(static_cast<uint64_t>(r.flashModule), 8) : "none");
  line("Boot-block tag:", std::to_string(r.bootBlockTagSeen) + " (byte " + std::to_string(r.bootBlockByte) + ")");
  if (r.layout == "Tarvex") line("F-segment bank:", std::to_string(r.fSegmentBank));
  line("ImageStatus:", Hex(r.imageStatus, 8));
  t += "Data areas:\n";
  if (r.areas.empty()) t += "  (none)\n";
  for (const AreaInfo& a : r.areas) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "  %-22s offset 0x%08X  length 0x%X (%u)\n", a.name.c_str(),
                  a.offset, a.length, a.length);
    t += buf;
  }
  return t;
}

std::string FormatJson(const Inspection& r) {
  std::string j = "{";
  bool first = true;
  auto field = [&](const std::string& key, const std::string& value) {
    j += (first ? "" : ",") + JsonString(key) + ":" + value;
    first = false;
  };
  field("layout", JsonString(r.layout));
  field("flag", std::to_string(r.flagWord));
  field("layoutReason", JsonString(r.layoutReason));
  field("fileSize", std::to_string(r.fileSize));
  field("packageHeader", r.packageHeader ? "true" : "false");
  field("programFile", r.programFile ? "true" : "false");
  if (r.packageHeader) field("headerOffset", std::to_string(r.headerOffset));
  field("settings", r.settingsText.empty() ? "null" : JsonString(r.settingsText));
  std::string on = "[";
  for (size_t i = 0; i < r.settingsOn.size(); ++i) on += (i ? "," : "") + JsonString(r.settingsOn[i]);
  field("settingsOn", on + "]");
  field("imageOffset", std::to_string(r.imageOffset));
  field("imageSize", std::to_string(r.imageSize));
  field("modelCode", JsonString(r.modelCode));
  field("version", JsonString(r.versionText));
  field("serial", JsonString(r.serial));
  field("date", JsonString(r.dateText));
  field("buildTime", JsonString(r.buildTimeText));
  field("releaseNumber", std::to_string(r.releaseNumber));
  field("buildTimeNumber", std::to_string(r.buildTimeNumber));
  field("checksum", std::to_string(r.checksum));
  field("flashModule", r.flashModule >= 0 ? std::to_string(r.flashModule) : "null");
  field("bootBlockTagSeen", std::to_string(r.bootBlockTagSeen));
  field("bootBlockByte", std::to_string(r.bootBlockByte));
  field("fSegmentBank", std::to_string(r.fSegmentBank));
  field("imageStatus", std::to_string(r.imageStatus));
  std::string areas = "[";
  for (size_t i = 0; i < r.areas.size(); ++i) {
    const AreaInfo& a = r.areas[i];
    areas += (i ? "," : "") + std::string("{\"name\":") + JsonString(a.name) + ",\"tag\":" +
             JsonString(a.tag) + ",\"offset\":" + std::to_string(a.offset) +
             ",\"length\":" + std::to_string(a.length) + "}";
  }
  field("areas", areas + "]");
  return j + "}\n";
}

}  // namespace inspect
