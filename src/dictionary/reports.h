// The reports of a dictionary method: a table word followed by the ending of each outcome.
#pragma once

#include <string>

#include "dictionary/dictionary_table.h"

namespace mirelda::dictionary {

inline Reports StandardReports(const std::string& word, const std::string& precondition) {
  return Reports{precondition,
                 word + "建立成功！",
                 word + "建立成功，但初始化失败！",
                 word + "建立失败！",
                 word + "已存在，初始化成功！",
                 word + "已存在，初始化失败！",
                 word + "已存在，不需要初始化！"};
}

inline constexpr const char* kNeedsBothReferenceTables = "请先建立参考表！";

}  // namespace mirelda::dictionary
