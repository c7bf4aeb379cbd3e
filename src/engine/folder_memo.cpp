#include "engine/folder_memo.h"

namespace sv::engine {

std::string FolderMemo::WindowsDirectory() {
  if (!windows_) windows_ = inner_.WindowsDirectory();
  return *windows_;
}

std::string FolderMemo::SystemDirectory() {
  if (!system_) system_ = inner_.SystemDirectory();
  return *system_;
}

std::string FolderMemo::SpecialFolder(int csidl) {
  const auto known = specialFolders_.find(csidl);
  if (known != specialFolders_.end()) return known->second;
  return specialFolders_.emplace(csidl, inner_.SpecialFolder(csidl)).first->second;
}

std::string FolderMemo::UserName() {
  if (!userName_) userName_ = inner_.UserName();
  return *userName_;
}

std::string FolderMemo::ComputerName() {
  if (!computerName_) computerName_ = inner_.ComputerName();
  return *computerName_;
}

}  // namespace sv::engine
