// Pixel-exact sprite collision on the alpha of the slots' textures.
#pragma once

namespace quillon {

// Command: 1 when the two sprites, each at its own size with its top-left pixel at the
// truncated (x, y), share a pixel that is solid (alpha not 0) in both images, else 0. Slots
// outside 0 to 65519 and empty slots never collide.
// Example:
//   LoadSprite("ship.png", 1);
//   LoadSprite("rock.png", 2);
//   double shipX = 300, shipY = 400, rockX = 310, rockY = 380;
//   if (SpriteCollision(1, shipX, shipY, 2, rockX, rockY) != 0) PlaySound(0, 0, 1);
double SpriteCollision(double slotA, double xA, double yA, double slotB, double xB, double yB);

}  // namespace quillon
