#include "ui/keep_data_page.h"

#include "core/settings_word.h"
#include "image/bios_image.h"
#include "image/image_layout.h"
#include "ui/control_ids.h"

namespace brim {

using FS = FlashSettings;

const KeepBox kKeepBoxes[18] = {
    {ids::kKeepBbvl, "Keep BBVL+ Firmware data", 0x1, &FS::keepBbvl, kKeepBbvl},
    {ids::kKeepBootBlock, "Keep Boot Block data", 0, &FS::keepBootBlock, kKeepBootBlock},
    {ids::kKeepBuCode, "Keep BU Code data", 0x4, &FS::keepBuCodeData, kKeepBuCodeData},
    {ids::kKeepDmi, "Keep DMI data", 0x8, &FS::keepDmiData, kKeepDmiData},
    {ids::kKeepCharger, "Keep Charger EEPROM data", 0x10, &FS::keepChargerEeprom, kKeepChargerEeprom},
    {ids::kKeepEscd, "Keep ESCD data", 0x20, &FS::keepEscdData, kKeepEscdData},
    {ids::kKeepFingerprint, "Keep Finger Print data", 0x40, &FS::keepFingerprint, kKeepFingerprint},
    {ids::kKeepInvertEeprom, "Keep Invert EEPROM data", 0x80, &FS::keepInvertEeprom, kKeepInvertEeprom},
    {ids::kKeepKbc, "Keep KBC Firmware data", 0x100, &FS::keepKbc, kKeepKbc},
    {ids::kKeepMasterLogo, "Keep Master logo data", 0x200, &FS::keepMasterLogo, kKeepMasterLogo},
    {ids::kKeepNs591, "Keep NS591 KBC Parameters data", 0x400, &FS::keepNs591Kbc, kKeepNs591Kbc},
    {ids::kKeepNvs, "Keep NVS data", 0x800, &FS::keepNvs, kKeepNvs},
    {ids::kKeepPanelTable, "Keep Panel Table data", 0x1000, &FS::keepPanelTable, kKeepPanelTable},
    {ids::kKeepPassword, "Keep Password data", 0x2000, &FS::keepPassword, kKeepPassword},
    {ids::kKeepScPassword, "Keep Smart Card Password data", 0x4000, &FS::keepScPassword, kKeepScPassword},
    {ids::kKeepSlaveLogo, "Keep Slave logo data", 0x8000, &FS::keepSlaveLogo, kKeepSlaveLogo},
    {ids::kKeepThermalTable, "Keep Thermal Table data", 0x10000, &FS::keepThermalTable, kKeepThermalTable},
    {ids::kKeepPowerEvent, "Keep Power Event data", 0x20000, nullptr, kPowerEventBox},
};

namespace {

// Keep-all checks the boxes in this order (NVS after Password, unlike the table).
constexpr int kKeepAllOrder[18] = {
    ids::kKeepBbvl,       ids::kKeepBootBlock,   ids::kKeepBuCode,      ids::kKeepDmi,
    ids::kKeepCharger,    ids::kKeepEscd,        ids::kKeepFingerprint, ids::kKeepInvertEeprom,
    ids::kKeepKbc,        ids::kKeepMasterLogo,  ids::kKeepNs591,       ids::kKeepPanelTable,
    ids::kKeepPassword,   ids::kKeepNvs,         ids::kKeepScPassword,  ids::kKeepSlaveLogo,
    ids::kKeepThermalTable, ids::kKeepPowerEvent,
};

// The 17 keep bits that "Force to update All BIOS" clears; the power-event bit stays.
constexpr uint32_t kForceClearMask = 0xF80003FF;

bool RomIsQuorvel() { return LayoutOf(CurrentRomImage().flagWord) == ImageLayout::kQuorvel; }

const KeepBox* FindBox(int id) {
  for (const KeepBox& box : kKeepBoxes)
    if (box.id == id) return &box;
  return nullptr;
}

}  // namespace

void KeepDataPage::Init() {
  s_.keepPageReady = 1;
  RefreshKeepPage();
}

void KeepDataPage::RefreshKeepPage() {
  bool anyKeep = s_.keepAll != 0;
  for (const KeepBox& box : kKeepBoxes)
    if (box.preset && s_.*box.preset) anyKeep = true;
  if (!anyKeep)
    c_.SetCheck(ids::kForceUpdateAll, true);
  else
    c_.SetCheck(ids::kForceUpdateAll, RomIsQuorvel() && !s_.imageLoaded);
  UpdateKeepPage();
}

bool KeepDataPage::BoxUsable(const KeepBox& box) const {
  if (box.id == ids::kKeepBootBlock) return NewImage().bootBlockTagSeen != 0;
  if (!(ImageStatus() & box.statusBit)) return false;
  return box.id != ids::kKeepDmi || !RomIsQuorvel();
}

void KeepDataPage::UpdateKeepPage() {
  if (c_.IsChecked(ids::kForceUpdateAll)) {
    s_.settingsWord &= kForceClearMask;
    for (const KeepBox& box : kKeepBoxes) {
      c_.SetCheck(box.id, false);
      c_.Enable(box.id, false);
    }
    return;
  }
  for (const KeepBox& box : kKeepBoxes) {
    if (BoxUsable(box)) {
      c_.Enable(box.id, true);
      if (box.preset && s_.*box.preset) {
        c_.SetCheck(box.id, true);
        OnKeepBoxClicked(box.id);
      }
    } else {
      c_.SetCheck(box.id, false);
      c_.Enable(box.id, false);
      s_.settingsWord &= ~box.bit;
    }
  }
  if (s_.keepAll) {
    for (int id : kKeepAllOrder) {
      c_.SetCheck(id, true);
      OnKeepBoxClicked(id);
    }
  }
}

void KeepDataPage::OnKeepBoxClicked(int id) {
  const KeepBox* box = FindBox(id);
  if (!box) return;
  if (c_.IsChecked(id))
    s_.settingsWord |= box->bit;
  else
    s_.settingsWord &= ~box->bit;
}

void KeepDataPage::OnClicked(int id) {
  if (id == ids::kForceUpdateAll)
    UpdateKeepPage();
  else
    OnKeepBoxClicked(id);
}

}  // namespace brim
