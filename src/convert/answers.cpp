#include "convert/answers.h"

#include "convert/copy.h"

namespace zq::convert {

std::string KeyAnswerText(char key) {
  unsigned char c = static_cast<unsigned char>(key);
  if (c == '\r') return "Enter";
  if (c == 27) return "Esc";
  if (c == ' ') return "spacja";
  if (c < ' ') return "klawisz " + std::to_string(c);
  return std::string(1, key);
}

char Copier::Ask(Question question) {
  char key = 0;
  if (answers) {
    std::string answer = answers->Answer(question);
    key = answer.empty() ? '\r' : answer.front();
  } else {
    key = WaitKey();
  }
  log_.NoteAnswer(KeyAnswerText(key));
  return key;
}

}  // namespace zq::convert
