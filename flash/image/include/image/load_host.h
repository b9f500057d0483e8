// What the image loader needs from the window that hosts it.
#pragma once
#include <string>

namespace brim {

class LoadHost {
 public:
  virtual ~LoadHost() = default;
  // Asks the user for an image file; false when the user cancelled.
  virtual bool ChooseImageFile(std::string& path) = 0;
  // Copies the page's dialog data into its variables.
  virtual void SaveDialogData() = 0;
  // A new image was loaded and located: refresh the pages and the report.
  virtual void NewImageLoaded() = 0;
};

// Sets the process-wide host (nullptr: no dialog, nothing to refresh);
// returns the previous one.
LoadHost* SetLoadHost(LoadHost* host);
LoadHost* CurrentLoadHost();

}  // namespace brim
