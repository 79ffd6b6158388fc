#include "upload/upload_failure.h"

namespace mirelda::upload {

std::string PathNotAbsoluteMessage() { return "对不起，路径必须为绝对路径."; }

std::string FileNameMissingMessage() { return "对不起，表单项中的文件名为空。"; }

std::string FileTooLargeMessage(std::string_view file_name) {
  return "对不起，文件名为[" + std::string(file_name) + "] 的文件大小超出了范围。";
}

std::string TargetExistsMessage(std::string_view file_name) {
  return "对不起，目标文件[" + std::string(file_name) + "]在上载的目录中已经存在,请改名后重新上传";
}

std::string TooManyPartsMessage() { return "对不起，文件总数不得超过255"; }

std::string NoPartMessage() { return "对不起，您没有选择文件上传."; }

}  // namespace mirelda::upload
