#include "commands/register_writes.h"

#include <utility>

#include "link/protocol.h"

namespace vorna {

bool ApplyFields(DeviceLink& link, const RegisterBytes& r) {
  const std::pair<std::uint8_t, std::uint8_t> writes[] = {{REG_PREFIX, PREFIX_REGISTER_VALUE},
                                                          {REG_A0, r.a0},
                                                          {REG_A1, r.a1},
                                                          {REG_A2, r.a2},
                                                          {REG_A3, r.a3},
                                                          {REG_A4, r.a4},
                                                          {REG_A6, r.a6},
                                                          {REG_A8, r.a8}};
  bool ok = true;
  for (const auto& [address, value] : writes) ok = link.WriteRegister(address, value) && ok;
  return ok;
}

bool ApplyQuickSettings(DeviceLink& link, const QuickSettings& s) {
  bool ok = link.WriteRegister(REG_A0, QuickA0(s)).ok();
  ok = link.WriteRegister(REG_A2, QuickA2(s)) && ok;
  ok = link.SetChannel(FrequencyToChannel(s.frequency)) && ok;
  if (s.storeAsDefault) ok = link.StoreDefaults() && ok;
  return ok;
}

}  // namespace vorna
