#ifndef PELKAFORGE_DRIVER_IMAGECONVERTER_H_
#define PELKAFORGE_DRIVER_IMAGECONVERTER_H_

namespace pelkaforge {

// The whole run: converts the image named by argv[1] into
// "SecondaryMicroImage.c". Returns 0 when the file was written; every failure
// ends the process with status 1 instead of returning.
int RunImageConverter(int argc, char* argv[]);

}  // namespace pelkaforge

#endif  // PELKAFORGE_DRIVER_IMAGECONVERTER_H_
