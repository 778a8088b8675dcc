#pragma once
// What a tool that takes pictures of any origin needs around the TIFF reader
// and writer: telling a TIFF file by its first bytes, the compressions by
// name, which of them the reader decodes, and loading any page a picture can
// hold.
#include <cstdint>
#include <string>

class CPicture;

// "II*\0" / "MM\0*", classic or BigTIFF.
bool IsTiffFile(const std::string& szPath);

// Names of the writer's compressions ("none", "lzw", "mh", "g3", "g4",
// "packbits") in the order of ETifCompression; -1 for another name.
int32_t TifCompressionFromName(const std::string& szName);
const char* TifCompressionName(int32_t iCompression);

// Whether the reader decodes pages of a Compression tag value.
bool TifCompressionReadable(int32_t iCompressionTag);

// The first page into a picture, palette pages widened to RGB and 16-bit gray
// narrowed to 8 bits, since pictures have no such kinds; the camera layout
// comes back from the description. A compression the reader does not decode
// is named in szDetail (with a leading space), so the message can say what
// to re-export. Returns 0 or an image error code.
uint32_t LoadAnyTiffIntoPicture(CPicture& pic, const std::string& szPath, std::string& szDetail);
