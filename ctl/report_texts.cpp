#include "ctl/report_texts.h"

#include "ini/ini.h"

namespace kp::ctl {

namespace {

constexpr std::array<const char*, ReportTexts::kCount> kEnglish = {
    "Commissioning sheet",
    "Room",
    "Date",
    "Port",
    "Unit",
    "Taken from",
    "long dump: 5.1 outputs and ultra-low settings",
    "short dump: no 5.1 outputs",
    "the unit on %1",
    "the preset file %1",
    "Device settings",
    "Masters and 5.1 outputs",
    "User slot %1",
    "not reported by this unit",
    "Setting",
    "Value",
    "Checked by",
    "missing",
    "The curves: each equaliser's response as tuning by measurement models it (neighbouring "
    "bands overlap); the dots: the bands' values.",
};

constexpr std::array<const char*, ReportTexts::kCount> kChinese = {
    "调试记录",
    "房间",
    "日期",
    "串口",
    "设备",
    "数据来源",
    "长数据: 带 5.1 声道和超低设定",
    "短数据: 没有 5.1 声道",
    "设备 (%1)",
    "预设文件 %1",
    "设备设置",
    "主音量与 5.1 声道",
    "用户模式 %1",
    "此设备不报告",
    "设定",
    "数值",
    "检查人",
    "缺少",
    "曲线: 按测量调音模型计算的均衡器响应 (相邻频段互相重叠); 圆点: 各频段的数值。",
};

}  // namespace

ReportTexts reportTexts(const std::string& configPath, bool english) {
  ReportTexts t;
  t.english = english;
  const std::string lang = english ? "e" : "c";
  const auto& builtIn = english ? kEnglish : kChinese;
  for (int n = 1; n <= ReportTexts::kCount; ++n) {
    std::string text = Read_Ini("config", "Report_" + lang + "_" + std::to_string(n), configPath);
    t.texts[static_cast<std::size_t>(n - 1)] =
        text.empty() ? builtIn[static_cast<std::size_t>(n - 1)] : text;
  }
  auto caption = [&](int n, const char* en, const char* zh) {
    std::string text = Read_Ini("config", std::to_string(n) + "_" + lang, configPath);
    return text.empty() ? std::string(english ? en : zh) : text;
  };
  t.musicEq = caption(15, "Music Equaliser", "音乐均衡调节");
  t.micEq = caption(17, "Microphone Equaliser", "话筒均衡调节");
  t.surround = caption(18, "5.1 Output Levels", "5.1 声道音量调节");
  t.effects = caption(19, "Effects", "效果调节");
  t.names = parameterTexts(configPath, english);
  if (!english) {
    // Defaults of the Chinese names where config.ini lacks them.
    if (Read_Ini("config", "Name_c_1", configPath).empty()) t.names.music = "音乐 %1";
    if (Read_Ini("config", "Name_c_2", configPath).empty()) t.names.mic = "话筒 %1";
  }
  return t;
}

}  // namespace kp::ctl
