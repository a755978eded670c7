#pragma once
// How a message lists the words a command takes: "idle, browse, video or call".

#include <string>
#include <string_view>

namespace px::host::common {

template <typename Words, typename Name>
std::string word_list(const Words& words, Name name) {
  std::string text;
  std::size_t count = std::size(words), i = 0;
  for (const auto& word : words) {
    if (i > 0) text += i + 1 == count ? " or " : ", ";
    text += std::string_view(name(word));
    ++i;
  }
  return text;
}

}  // namespace px::host::common
