#ifndef PELKAFORGE_DRIVER_IMAGESTEP_H_
#define PELKAFORGE_DRIVER_IMAGESTEP_H_

namespace pelkaforge {

// The whole run of pelkaforge-image, the build step: converts the image
// named by argv[1] into the file named by argv[2], with the bytes Pelkaforge
// writes for the image once padded. The image is only read, and padded as it
// is read; the output is replaced only by a complete file. Returns 0 when
// the file was written; every failure ends the process with status 1.
int RunImageStep(int argc, char* argv[]);

}  // namespace pelkaforge

#endif  // PELKAFORGE_DRIVER_IMAGESTEP_H_
