// corvane_artwork holds no code of its own: its content is the program's
// pictures, which Qt compiles into resource objects linked into every
// executable that links it. This file gives the static library a member.
namespace corvane_artwork
{
int pictureResourcesLinked = 1;
} // namespace corvane_artwork
