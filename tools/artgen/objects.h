// The things the pictures show, each drawn in its own coordinates; callers
// place them with cairo's transformations. Every function leaves the path
// empty and the context as it found it.
#pragma once

#include <cairo.h>

#include "canvas.h"

namespace artgen {

constexpr Rgb kCableBlue{38, 112, 196};
constexpr Rgb kCableGrey{58, 62, 70};

// Strokes the current path as a cable of `colour` and `width`: a darker rim
// and a highlight along its upper left. Empties the path.
void Cable(cairo_t* cr, Rgb colour, double width);

// Bullet camera seen from its right side, lens to the right, in the box
// (0, 0)-(118, 48). The mount socket on its underside is at (46, 46).
void BulletCamera(cairo_t* cr);
// The camera's pigtail leaving the body at (30, 44): a short cable ending in
// a network socket and a power socket.
void Pigtail(cairo_t* cr);
// Plug-in power adapter with its cable and barrel plug, in (0, 0)-(110, 110).
void PowerAdapter(cairo_t* cr);
// Network plug seen from above, contacts towards +x, in (0, -7)-(30, 7).
void NetworkPlug(cairo_t* cr, Rgb boot);
// Barrel plug of the power cable, tip towards +x, in (0, -4)-(26, 4).
void BarrelPlug(cairo_t* cr);
// A coil of network cable with its two plugs, in (0, 0)-(120, 110).
void CableCoil(cairo_t* cr);
// Wall bracket seen from the side: wall plate at x 0-14, arm out to the
// camera plate whose top centre is at (64, 0); box (0, 0)-(82, 76).
void Bracket(cairo_t* cr);
// Wood screw lying along +x from its head at (0, 0), 44 long.
void Screw(cairo_t* cr);
// Ribbed wall plug along +x from its collar at (0, 0), 34 long.
void WallPlug(cairo_t* cr);
// Router seen from the front and a little above, in (0, 0)-(160, 96); its
// ports are at y 70, x 24 + 22 k (k = 0..4).
void Router(cairo_t* cr);
// Monitor, keyboard and mouse, in (0, 0)-(170, 150).
void Computer(cairo_t* cr);
// Wall socket plate, in (0, 0)-(50, 50).
void WallSocket(cairo_t* cr);
// Brick wall filling (0, 0)-(w, h).
void Wall(cairo_t* cr, double w, double h);
// The brand's lens mark: a ring and a lens, centred at (0, 0), radius r.
void LensMark(cairo_t* cr, double r);

}  // namespace artgen
