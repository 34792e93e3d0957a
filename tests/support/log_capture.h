// Captures what the progress log is given, line by line, for tests to look at.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/progress_log.h"
#include "platform/cp852.h"

namespace zq::test {

struct LogLine {
  std::string text;  // code page 852
  std::uint8_t colour = 0;
};

// Every line the progress log is given, whole, with the colour it started in.
class LogCapture : public convert::LogSink {
 public:
  void OnWrite(std::string_view text, std::uint8_t colour) override {
    if (!open_) current_.colour = colour;
    open_ = true;
    current_.text += text;
  }
  void OnLineEnd() override {
    lines.push_back(current_);
    current_ = {};
    open_ = false;
  }
  // The line being written, not ended yet.
  const std::string& Open() const { return current_.text; }
  const LogLine* Find(std::string_view text) const {
    for (const auto& l : lines)
      if (l.text == text) return &l;
    return nullptr;
  }
  const LogLine* FindStarting(std::string_view text) const {
    for (const auto& l : lines)
      if (l.text.starts_with(text)) return &l;
    return nullptr;
  }
  const LogLine* FindHolding(std::string_view text) const {
    for (const auto& l : lines)
      if (l.text.find(text) != std::string::npos) return &l;
    return nullptr;
  }
  int Count(std::string_view prefix) const {
    int n = 0;
    for (const auto& l : lines) n += l.text.starts_with(prefix) ? 1 : 0;
    return n;
  }
  int CountHolding(std::string_view text) const {
    int n = 0;
    for (const auto& l : lines) n += l.text.find(text) != std::string::npos ? 1 : 0;
    return n;
  }
  // Index of the first line holding `text`, -1 when none.
  int IndexOf(std::string_view text) const {
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (lines[i].text.find(text) != std::string::npos) return static_cast<int>(i);
    return -1;
  }
  std::string Dump() const {
    std::string s;
    for (const auto& l : lines) s += Cp852ToUtf8(l.text) + "\n";
    return s + Cp852ToUtf8(current_.text);
  }
  void Clear() {
    lines.clear();
    current_ = {};
    open_ = false;
  }
  bool Has(std::string_view text) const { return Find(text) != nullptr; }
  bool HasStarting(std::string_view text) const { return FindStarting(text) != nullptr; }
  std::optional<std::uint8_t> ColourOf(std::string_view text) const {
    const LogLine* l = Find(text);
    return l ? std::optional<std::uint8_t>(l->colour) : std::nullopt;
  }
  // The lines in UTF-8, for readable failure messages.
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const auto& l : lines) out.push_back(Cp852ToUtf8(l.text));
    return out;
  }
  std::vector<LogLine> lines;

 private:
  LogLine current_;
  bool open_ = false;
};

}  // namespace zq::test
