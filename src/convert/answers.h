// The questions a run asks, and where their answers come from. An interactive run reads
// them from the keyboard; an unattended one takes them from an answer source, so every
// question goes through this one door whichever way it is answered.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zq::convert {

enum class Question : std::uint8_t {
  kKeyWait,        // a key after a message: nothing to decide
  kOverwrite,      // Z/W keep or replace, N/A for every further one
  kAnnualYear,     // B (2019) or N (2020)
  kVatProportion,  // a whole percentage, typed
  kStaffPerson,    // T/N/W for one person
  kPid5Person,     // T/N for one person's tax-form data
  kLockWait,       // go on waiting for a locked file: T/N
};

class AnswerSource {
 public:
  virtual ~AnswerSource() = default;
  // The answer in the form the question takes it from the keyboard: the key's
  // character, or the text typed into an input box.
  virtual std::string Answer(Question question) = 0;
};

// How the journal shows a key given as an answer.
std::string KeyAnswerText(char key);

}  // namespace zq::convert
