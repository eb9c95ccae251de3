#pragma once

#include <string_view>

namespace norvalis::crash {

// What the dying process hands to norvalis-crash: "key=value" lines on the descriptor named by
// HandoverFdArgument, then end of file. The helper closes its end when it has gathered the
// report, and the process goes on to die with its original signal.

inline constexpr std::string_view HelperName = "norvalis-crash";
inline constexpr int HandoverFd = 3;
inline constexpr std::string_view HandoverFdArgument = "--handover-fd=3";

inline constexpr std::string_view KeyPid = "pid";
inline constexpr std::string_view KeyTid = "tid";
inline constexpr std::string_view KeySignal = "signal";
inline constexpr std::string_view KeyCode = "code";
inline constexpr std::string_view KeyAddress = "address";  // fault address, only for faults
inline constexpr std::string_view KeySender = "sender";    // pid that sent the signal
inline constexpr std::string_view KeyTime = "time";        // seconds since the epoch
inline constexpr std::string_view KeyException = "exception";
inline constexpr std::string_view RegisterPrefix = "reg.";  // "reg.rip=0x..." in context order
inline constexpr std::string_view OptionPrefix = "option.";

// Option keys, after OptionPrefix.
inline constexpr std::string_view OptionDialog = "dialog";
inline constexpr std::string_view OptionCopy = "copy";
inline constexpr std::string_view OptionScreenshot = "screenshot";
inline constexpr std::string_view OptionLog = "log";
inline constexpr std::string_view OptionSend = "send";
inline constexpr std::string_view OptionRestart = "restart";
inline constexpr std::string_view OptionAutoLog = "autolog";
inline constexpr std::string_view OptionMail = "mail";
inline constexpr std::string_view OptionProgram = "program";
inline constexpr std::string_view OptionVersion = "version";

}  // namespace norvalis::crash
