// The shader script that gives a level's textures the behaviour the game needs of them: sky
// that is drawn as sky, surfaces that are seen through, surfaces that can be passed. Plain text
// from plain values; writing it is the host's business.
#pragma once

#include <string>
#include <vector>

struct TShaderEntry {
  std::string Name;          // the face's texture name, "level/material"
  std::string Image;         // the image below the game folder, "textures/level/material.tga"
  bool Sky = false;          // the sky, with the image as its cloud layer
  bool Translucent = false;  // blended over what lies behind at half
  bool SeeThrough = false;   // what lies behind is not hidden (no blend of its own)
  bool NonSolid = false;     // nothing collides with it
  bool Water = false;        // a liquid the player swims in
  bool Invisible = false;    // drawn as nothing (the space of water); the editor shows the image
};

// One block per entry, in order, each named "textures/" + Name. Names and images are written
// as they are: callers give one-word names (no blanks, quotes or braces).
std::string ShaderScript(const std::vector<TShaderEntry>& Entries);

// The shader list's text with Script (a file name without ".shader") added on a line of its
// own, or unchanged when a line already names it (letter case ignored, ".shader" optional).
// Nothing that is there is rewritten; a last line without its line end gets one first.
std::string AddToShaderList(const std::string& List, const std::string& Script);
