#include "image/message_list.h"

namespace brim {

namespace {
MessageList* g_list = nullptr;
}

MessageList* SetMessageList(MessageList* list) {
  MessageList* previous = g_list;
  g_list = list;
  return previous;
}

MessageList* CurrentMessageList() { return g_list; }

void AppendListLine(const std::string& line) {
  if (g_list) g_list->AppendAndSelect(line);
}

void InsertListLineAtTop(const std::string& line) {
  if (g_list) g_list->InsertAtTop(line);
}

}  // namespace brim
