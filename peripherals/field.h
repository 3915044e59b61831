// Radiation field: sources placed in a room around the detector, and a source held to it.
//
// Models, as a teaching model and not a transport code: a rectangular room, positions in
// millimetres from its top-left corner (x to the right, y down), the detector at a point
// (the room's centre unless moved). A placed source of strength R (pulses a second it would
// add at 1 m in open air) adds at the detector
//     R x (1 m / d)^2 x T1 x T2 x ...
// with d the distance from source to detector, never taken below 0.05 m (the detector's
// size), and T1, T2, ... the transmissions of the walls the straight line from source to
// detector crosses (touching a wall counts, running along it does not). Gamma passes a wall
// by its transmission; beta reaches at most 3 m and alpha at most 0.05 m of air, and any wall
// stops both. A source held to the detector (the `source R` of the scripts) adds R whatever
// the room holds.
//
// Pulses: each tick the held source draws its pulses from exponential intervals of its own
// generator (mt19937, seeded with HeldSeedBase ^ seed), the placed sources theirs from a
// second generator as a Poisson process of the tick's summed mean (unit-mean exponential
// steps through the tick's expected count, so a rate that changes from tick to tick keeps
// one process). Both draw on every tick, the instrument on or off, so the sequence depends
// on the ticks alone; a tick with nothing in the field draws nothing. The drawn pulses join
// the tick's pulses after the background and the check source: the tick's byte holds at most
// 255, and what does not fit is lost, as a saturated counter loses it, never stored up.
// Leaves out: scattering, build-up, the detector's direction and energy response, dead
// time, air attenuation of gamma, the thickness of walls.
//
// Host thread only.
#pragma once

#include <cstdint>
#include <random>

#include "simulator.h"  // the limits the surface promises

inline constexpr int32_t RoomDefaultMm = 10000;  // 10 m x 10 m
inline constexpr int32_t RoomMinMm = SimRoomMin;
inline constexpr int32_t RoomMaxMm = SimRoomMax;
inline constexpr double DetectorSizeM = 0.05;  // the least distance the formula takes
inline constexpr double BetaReachM = 3.0;
inline constexpr double AlphaReachM = 0.05;
inline constexpr uint32_t SourceMaxMilli = SimStrengthMax;
inline constexpr uint32_t TransmissionFull = SimTransmissionFull;  // thousandths
inline constexpr int FieldMaxSources = SimSourcesMax;
inline constexpr int FieldMaxWalls = SimWallsMax;
inline constexpr int SourceNameMax = SimSourceNameMax;
inline constexpr uint32_t HeldSeedBase = 0x5EED5EEDu;   // the held source's generator
inline constexpr uint32_t FieldSeedBase = 0xF1E1D5EEu;  // the placed sources' generator
inline constexpr uint32_t TickPulseMax = 255;           // the tick's byte

enum SourceKind : uint8_t { KindGamma = 0, KindBeta = 1, KindAlpha = 2 };

struct FieldSource {
    char name[SourceNameMax + 1];
    uint8_t kind;
    uint8_t hidden;     // not drawn in the room views (the field is the same)
    uint32_t strength;  // pulses a second at 1 m, thousandths
    int32_t x, y;       // millimetres
};

struct FieldWall {
    int32_t x1, y1, x2, y2;  // millimetres
    uint32_t transmission;   // of gamma, thousandths (0-1000)
};

extern int32_t RoomWidth, RoomHeight;  // millimetres
extern int32_t DetectorX, DetectorY;   // millimetres
extern FieldSource FieldSources[FieldMaxSources];
extern uint8_t FieldSourceCount;
extern FieldWall FieldWalls[FieldMaxWalls];
extern uint8_t FieldWallCount;
extern uint32_t RoomChanges;  // counts every change of the room, for views that redraw

// The held source: its rate in thousandths of a pulse a second (0 none), its generator and
// the time of its next pulse from the start of the coming tick, seconds.
extern uint64_t HeldSourceMilli;
extern std::mt19937 HeldGenerator;
extern double HeldNext;
// The placed sources' generator and the expected pulses still to pass before their next one
// (negative: not drawn yet).
extern std::mt19937 FieldGenerator;
extern double FieldNext;

// A new empty room of W x H millimetres, the detector at its centre. False (nothing changed)
// when a side is outside RoomMinMm..RoomMaxMm.
bool SetRoom(int32_t width, int32_t height);
// Places (or, for a name already placed, moves and changes) a source. False when the name,
// kind, strength or position is not allowed, or the room holds FieldMaxSources already.
bool PlaceSource(const char* name, uint8_t kind, uint32_t strength, int32_t x, int32_t y,
                 bool hidden);
bool RemoveSource(const char* name);
// False when the point is outside the room.
bool MoveDetector(int32_t x, int32_t y);
// False when an end is outside the room, the ends are one point, the transmission is above
// TransmissionFull, or the room holds FieldMaxWalls already.
bool AddWall(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t transmission);
void HoldSource(uint64_t milli);

// Mean pulses a second one source adds at the detector where it stands now.
double SourceRateAtDetector(const FieldSource& source);
// Mean pulses a second of the held and the placed sources together (no background).
double FieldRate();

// The tick's pulses of the held and the placed sources (any number); called once a tick.
uint32_t DrawFieldPulses();
// Adds what the tick's byte still has room for of `pulses` to TickPulses and the tick's
// count; the rest is lost. Called after AddCheckSourcePulses.
void AddFieldPulses(uint32_t pulses);

// Both generators on the sequences of `seed` (SimSeed).
void SeedField(uint32_t seed);
// Program-start state: the default room, empty, the generators on seed 0.
void ResetField();
