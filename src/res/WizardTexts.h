#pragma once

#include "BiText.h"

// Texts of the meter configuration wizard.

// The wizard's window title, and the caption of each page while it is shown.
inline constexpr BiText kWizardTitle{"Step 1", "Step 1"};
inline constexpr BiText kTypePageCaption{"2-1", "2-1"};
inline constexpr BiText kAddressPageCaption{"2-2", "2-2"};

// The page of meter type, channels and sampling time.
inline constexpr BiText kWizardMeterType{"仪表型号", "Meter type"};
inline constexpr BiText kWizardChannels{"通道数目", "Channel amount"};
inline constexpr BiText kWizardSamplingTime{"采样时间", "Sampling time"};
inline constexpr BiText kWizardMs{"ms", "ms"};
inline constexpr BiText kWizardReset{"恢复默认值(&R)", "&Reset"};
// A meter type that is listed but not offered, in both languages.
inline constexpr BiText kUnsupportedType{"Unsupported Type", "Unsupported Type"};

// The page of the meter addresses.
inline constexpr BiText kWizardSingle{"单只仪表", "Single"};
inline constexpr BiText kWizardMeterAddress{"仪表地址", "Meter address"};
inline constexpr BiText kWizardMulti{"多只仪表", "Multi Meter(2 at least)"};
inline constexpr BiText kWizardScope{"仪表地址范围", "Scope of the meter address"};
inline constexpr BiText kWizardFrom{"首地址", "From"};
inline constexpr BiText kWizardTo{"末地址", "To"};
inline constexpr BiText kWizardMeterAmount{"仪表数目", "Meter amount"};

// The wizard's buttons.
inline constexpr BiText kWizardNext{"下一步(&N)", "&Next>"};
inline constexpr BiText kWizardCancel{"取消", "Cancel"};
inline constexpr BiText kWizardFinish{"完成", "Finish"};

// A range whose first address is not below its last one; told in Chinese
// whatever the language, as the wizard always has.
inline constexpr BiText kAddressRangeWrong{"首地址大于等于末地址。\n请修改地址。",
                                           "首地址大于等于末地址。\n请修改地址。"};
inline constexpr BiText kCaptionAddressRange{"地址范围错误", "地址范围错误"};
