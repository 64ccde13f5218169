#include "framework/media/QKNSFolderMediaBinListPopUpButton.h"

#include "framework/media/QKFileLoader.h"

const QKPageListMenu* QKNSFolderMediaBinListPopUpButton::loaderMenu() const {
  return fileLoader() ? &fileLoader()->folderAndMediaBinListMenu() : nullptr;
}
