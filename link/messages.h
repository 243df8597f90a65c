#pragma once
// The fixed texts of the link's message boxes. They stay in Chinese whatever
// the interface language, as the unit's operators know them.
namespace kp {
inline constexpr const char* kConnectTimeoutMessage = "MCU连接超时,系统选择取消";
inline constexpr const char* kDumpTimeoutMessage = "MCU初始化数据超时,系统选择取消";
inline constexpr const char* kLinkTimeoutMessage = "操作超时";
inline constexpr const char* kErrorPrefix = "出错内容为:";
}  // namespace kp
