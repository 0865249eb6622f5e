// Textured quads collected across draw commands and sent to GL in one call per texture.
//
// A pending quad is drawn with whatever GL state is current when the batch is flushed, so
// every change of GL state and every read of the frame must flush first. The GL layer's own
// entries do it (BindSlotTexture, ReadFramePixels); other code that draws or changes GL state
// itself (the 2D commands, presenting a frame, the 3D renderer, programs drawing with GL) calls
// Flush2DBatch before it does.
#pragma once

#include <cstdint>

namespace quillon {

struct BatchVertex {
  float s, t;     // texture coordinates
  float x, y, z;  // position as handed to GL (2D: y already negated)
};

// Makes the slot's texture current for the following quads (BindSlotTexture (slot, -1, plain
// texture, no names)); a batch of another slot is flushed first.
void Use2DSlot(int32_t slot);
// Adds one quad as a triangle fan: bottom-left, bottom-right, top-right, top-left.
// pixelAligned: an upright quad at whole-pixel corners, exactly the image's size.
void Add2DQuad(const BatchVertex (&corners)[4], bool pixelAligned = false);
// Draws the pending quads; the next quad binds its slot again.
void Flush2DBatch();
// Reset2DState tells the batch which projection maps 2D quads 1:1 onto pixels.
void Remember2DProjection();
// Forgets the pending quads without drawing them (the context is gone).
void Discard2DBatch();

}  // namespace quillon
