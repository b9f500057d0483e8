#include "core/usage_text.h"

namespace brim {

const std::string& UsageText() {
  static const std::string text =
      "Brimlet BIOS Update Program   Version 1.05.08\n"
      "\n"
      "Usage:\n"
      "\n"
      "Brimlet [ option ] [FileName] \n"
      "\n"
      " option:\n"
      "            /?\t\tShow this help usage\n"
      "            /kall\tKeep All Data (DMI, BU code,...)\n"
      "            /kbuc\tKeep BU code\n"
      "            /kdmi\tKeep DMI Data\n"
      "            /kbbk\tKeep Boot Block\n"
      "            /kpsw\tKeep Password Area\n"
      "            /cd\tClear DMI\n"
      "            /wb\tClear BootBlock\n"
      "            /ldcmos\tLoad Default CMOS\n"
      "            /silent\tLaunch Brimlet in the silent mode\n"
      "            /reb\tReboot system after flash BIOS\n"
      "            /force\tDo not verify image\n"
      "            /f:BINFile\tInput BIOS file name\n"
      "\n"
      "Example:\n"
      "    Brimlet /f:BIOS.bin\tThe default is to update all data and verify all information";
  return text;
}

}  // namespace brim
