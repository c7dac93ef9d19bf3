#include "zip/zip_files.h"

#include "common/strings.h"

namespace zip {

namespace {

constexpr int kTemporaryNameTries = 100;

}  // namespace

ZipOutputFile::ZipOutputFile(std::wstring target) : target_(std::move(target)) {}

ZipOutputFile::~ZipOutputFile() {
  if (file_.IsOpen()) {
    file_.Close();
    sys::RemoveFile(temporary_);
  }
}

bool ZipOutputFile::Create(const PackagePathTest& isPackagePath) {
  for (int i = 0; i < kTemporaryNameTries; ++i) {
    const std::wstring name = target_ + L".~" + common::DecimalText(i) + L".part";
    // An entry of the package may have this name: its file is there already or comes later.
    if (isPackagePath(name)) continue;
    // Any other file of this name is the leftover of an extraction that was killed half-way: it
    // goes (unless something still holds it open), so that a run started again leaves none behind.
    for (int attempt = 0; attempt < 2; ++attempt) {
      const sys::CreateResult created = file_.Create(name, sys::FileCreation::New);
      if (created == sys::CreateResult::Created) {
        temporary_ = name;
        return true;
      }
      if (created == sys::CreateResult::Failed) return false;
      if (attempt == 0 && !sys::RemoveFile(name)) break;
    }
  }
  return false;
}

sys::MoveResult ZipOutputFile::Commit(const sys::FileAttributes& attributes) {
  const bool closed = file_.IsOpen() && file_.Close();
  const sys::MoveResult moved = closed ? sys::MoveFileOver(temporary_, target_) : sys::MoveResult::Failed;
  if (moved != sys::MoveResult::Moved) {
    sys::RemoveFile(temporary_);
    return moved;
  }
  sys::ApplyFileAttributes(target_, attributes);
  return moved;
}

}  // namespace zip
