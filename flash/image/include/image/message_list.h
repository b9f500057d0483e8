// The General page's message list, as the image code sees it.
#pragma once
#include <string>

namespace brim {

class MessageList {
 public:
  virtual ~MessageList() = default;
  // Adds a line at the end and selects it.
  virtual void AppendAndSelect(const std::string& line) = 0;
  // Inserts a line at the list's first visible line.
  virtual void InsertAtTop(const std::string& line) = 0;
};

// Sets the process-wide list (nullptr: lines are dropped); returns the previous one.
MessageList* SetMessageList(MessageList* list);
MessageList* CurrentMessageList();

// Convenience calls that do nothing when no list is set.
void AppendListLine(const std::string& line);
void InsertListLineAtTop(const std::string& line);

}  // namespace brim
