// The triangulation worker: a process of its own that reads requests from file descriptor 3,
// triangulates them with GTS and writes the answers back (TriangulationProtocol.h). GTS stops
// its process on a failed internal check, may recurse until the stack overflows and may loop;
// here that only ends this worker, which the plug-in restarts.
#include <gts.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "patches/geometry/PlanarGraph.h"
#include "patches/geometry/TriangulationProtocol.h"

using namespace vellum::triangulation;

namespace {

constexpr int kChannel = 3;

// The kRotate angle: any that is not a multiple of 45 degrees.
const double kCos = std::cos(0.3), kSin = std::sin(0.3);

bool readAll(void* data, size_t size) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = ::read(kChannel, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n, size -= size_t(n);
  }
  return true;
}

bool writeAll(const void* data, size_t size) {
  auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(kChannel, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n, size -= size_t(n);
  }
  return true;
}

struct Result {
  uint32_t status = kOk;
  std::vector<double> newVertices;  // x, y
  std::vector<uint32_t> triangles;  // request vertex indices, new vertices after them
};

// The path's own crossing rule (ray towards +x, half-open in y), so that the segment-based
// outside test answers exactly what the path's containment test answers.
int lineWinding(double ax, double ay, double bx, double by, double px, double py) {
  if (ay <= py) {
    if (by > py && (bx - ax) * (py - ay) - (px - ax) * (by - ay) > 0) return 1;
  } else if (by <= py && (bx - ax) * (py - ay) - (px - ax) * (by - ay) < 0) {
    return -1;
  }
  return 0;
}

// Winding numbers of many points against many segments: segments are filed in horizontal
// strips, and a point only looks at the segments of its strip.
class StripWinding {
 public:
  explicit StripWinding(const std::vector<double>& segments) : s_(segments) {
    const size_t n = s_.size() / 4;
    if (n == 0) return;
    y0_ = INFINITY, y1_ = -INFINITY;
    for (size_t i = 0; i < n; ++i) {
      y0_ = std::min({y0_, s_[4 * i + 1], s_[4 * i + 3]});
      y1_ = std::max({y1_, s_[4 * i + 1], s_[4 * i + 3]});
    }
    strips_.resize(std::clamp<size_t>(size_t(std::sqrt(double(n))), 1, 4096));
    h_ = (y1_ - y0_) / double(strips_.size());
    for (size_t i = 0; i < n; ++i) {
      const size_t a = strip(std::min(s_[4 * i + 1], s_[4 * i + 3])), b = strip(std::max(s_[4 * i + 1], s_[4 * i + 3]));
      for (size_t k = a; k <= b; ++k) strips_[k].push_back(uint32_t(i));
    }
  }
  long winding(double px, double py) const {
    if (strips_.empty() || !(py >= y0_ && py <= y1_)) return 0;
    long w = 0;
    for (uint32_t i : strips_[strip(py)]) w += lineWinding(s_[4 * i], s_[4 * i + 1], s_[4 * i + 2], s_[4 * i + 3], px, py);
    return w;
  }

 private:
  size_t strip(double y) const {
    if (!(h_ > 0)) return 0;
    const double k = std::floor((y - y0_) / h_);
    return size_t(std::clamp(k, 0.0, double(strips_.size() - 1)));
  }
  const std::vector<double>& s_;
  std::vector<std::vector<uint32_t>> strips_;
  double y0_ = 0, y1_ = 0, h_ = 0;
};

GtsFace* faceAround(GtsVertex* v, GtsSurface* s) {
  for (GSList* i = v->segments; i; i = i->next) {
    if (!GTS_IS_EDGE(i->data)) continue;
    for (GSList* t = GTS_EDGE(i->data)->triangles; t; t = t->next)
      if (GTS_IS_FACE(t->data) && gts_face_has_parent_surface(GTS_FACE(t->data), s)) return GTS_FACE(t->data);
  }
  return nullptr;
}

// The library's own encroachment test.
gboolean encroaches(GtsVertex* v, GtsEdge* e, GtsSurface*, gpointer) { return gts_vertex_encroaches_edge(v, e); }

// Vertices and faces that carry their own data (index, winding), so that no pointer-keyed
// table is needed to go from GTS's objects back to the request.
constexpr uint32_t kNoId = UINT32_MAX;

struct IdVertex {
  GtsVertex vertex;
  uint32_t id;  // graph vertex, n + k for corner k, kNoId for one the refinement inserted
  bool seen;    // marks used while tearing down
};

struct WindingFace {
  GtsFace face;
  bool kept;     // chosen for the refinement
  bool corner;   // on an enclosing corner
  long winding;  // LONG_MIN until the fill reaches it
};

GtsVertexClass* idVertexClass() {
  static GtsVertexClass* klass = [] {
    GtsObjectClassInfo info = {"VellumVertex", sizeof(IdVertex), sizeof(GtsVertexClass), nullptr,
                               [](GtsObject* o) {
                                 reinterpret_cast<IdVertex*>(o)->id = kNoId;
                                 reinterpret_cast<IdVertex*>(o)->seen = false;
                               },
                               nullptr, nullptr};
    return GTS_VERTEX_CLASS(gts_object_class_new(GTS_OBJECT_CLASS(gts_vertex_class()), &info));
  }();
  return klass;
}

GtsFaceClass* windingFaceClass() {
  static GtsFaceClass* klass = [] {
    GtsObjectClassInfo info = {"VellumFace", sizeof(WindingFace), sizeof(GtsFaceClass), nullptr,
                               [](GtsObject* o) {
                                 auto* f = reinterpret_cast<WindingFace*>(o);
                                 f->kept = false, f->corner = false, f->winding = LONG_MIN;
                               }, nullptr, nullptr};
    return GTS_FACE_CLASS(gts_object_class_new(GTS_OBJECT_CLASS(gts_face_class()), &info));
  }();
  return klass;
}

uint32_t idOf(GtsVertex* v) { return reinterpret_cast<IdVertex*>(v)->id; }

// Morton order of grid points, so that each inserted vertex is near the one before it.
uint64_t morton(const GridPoint& p) {
  auto spread = [](uint64_t v) {
    v &= 0xFFFFFFFFull;
    v = (v | (v << 16)) & 0x0000FFFF0000FFFFull;
    v = (v | (v << 8)) & 0x00FF00FF00FF00FFull;
    v = (v | (v << 4)) & 0x0F0F0F0F0F0F0F0Full;
    v = (v | (v << 2)) & 0x3333333333333333ull;
    v = (v | (v << 1)) & 0x5555555555555555ull;
    return v;
  };
  // 32 high bits of each coordinate, shifted to be non-negative.
  const uint64_t x = uint64_t(p.x + (int64_t{1} << 40)) >> 9, y = uint64_t(p.y + (int64_t{1} << 40)) >> 9;
  return spread(x) | (spread(y) << 1);
}

// Optional CPU time of each step of a call, one line per call appended to the file that the
// environment variable VELLUM_GTS_WORKER_TIMES names: how much of a call GTS itself takes.
class PhaseLog {
 public:
  PhaseLog() {
    if (const char* path = std::getenv("VELLUM_GTS_WORKER_TIMES"); path && *path) file_ = std::fopen(path, "a");
  }
  ~PhaseLog() {
    if (file_) std::fclose(file_);
  }
  void start() {
    line_.clear();
    last_ = now();
  }
  // Charges the time since the previous mark to `name`.
  void mark(const char* name) {
    if (!file_) return;
    const double t = now();
    char item[64];
    std::snprintf(item, sizeof item, " %s=%.2f", name, t - last_);
    line_ += item;
    last_ = t;
  }
  void write(const Header& h, uint32_t status) {
    if (!file_) return;
    std::fprintf(file_, "vertices=%llu constraints=%llu flags=%u status=%u ms:%s\n", (unsigned long long)h.count[0],
                 (unsigned long long)h.count[1], h.flags, status, line_.c_str());
    std::fflush(file_);
  }

 private:
  static double now() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) * 1e-6;
  }
  std::FILE* file_ = nullptr;
  std::string line_;
  double last_ = 0;
};

PhaseLog& phaseLog() {
  static PhaseLog log;
  return log;
}

class Triangulation {
 public:
  Triangulation(const PlanarGraph& g, uint32_t flags, size_t requestVertices, const std::vector<double>& inputXY,
                const std::vector<double>& segments)
      : g_(g), flags_(flags), requestVertices_(requestVertices), inputXY_(inputXY), segments_(segments) {}

  ~Triangulation() { tearDown(); }

  Result run() {
    Result r;
    const size_t n = g_.vertices.size();
    if (n < 3 || g_.edges.empty()) return r;
    const double unit = std::ldexp(1.0, -40);  // grid -> about [-1, 1], exactly
    const double stretch = yFactor(), shear = xShear();
    surface_ = gts_surface_new(gts_surface_class(), windingFaceClass(), gts_edge_class(), idVertexClass());
    // An enclosing triangle far outside the data's box [-1/2, 1/2]^2.
    const double cx[3] = {-3, 9, -3}, cy[3] = {-3, -3, 9};
    for (int i = 0; i < 3; ++i) {
      corners_[i] = gts_vertex_new(idVertexClass(), cx[i], cy[i], 0);
      reinterpret_cast<IdVertex*>(corners_[i])->id = uint32_t(n + i);
    }
    GtsEdge* e[3];
    for (int i = 0; i < 3; ++i) e[i] = gts_edge_new(gts_edge_class(), corners_[i], corners_[(i + 1) % 3]);
    gts_surface_add_face(surface_, gts_face_new(GTS_FACE_CLASS(windingFaceClass()), e[0], e[1], e[2]));

    vertices_.resize(n);
    for (size_t i = 0; i < n; ++i) {
      double x = double(g_.vertices[i].x), y = double(g_.vertices[i].y);
      if (flags_ & kRotate) {
        const double rx = kCos * x - kSin * y, ry = kSin * x + kCos * y;
        x = rx, y = ry;
      }
      vertices_[i] = gts_vertex_new(idVertexClass(), (x + shear * y) * unit, y * unit * stretch, 0);
      reinterpret_cast<IdVertex*>(vertices_[i])->id = uint32_t(i);
    }
    buildMultiplicities();

    const bool verticesFirst = flags_ & kVerticesFirst;
    std::vector<GtsEdge*> constraints(g_.edges.size(), nullptr);
    if (!verticesFirst)
      for (size_t i = 0; i < g_.edges.size(); ++i)
        constraints[i] = gts_edge_new(GTS_EDGE_CLASS(gts_constraint_class()), vertices_[g_.edges[i].a], vertices_[g_.edges[i].b]);

    const std::vector<uint32_t> order = insertionOrder();
    phaseLog().mark("setup");
    GtsFace* guess = nullptr;
    for (uint32_t i : order) {
      if (gts_delaunay_add_vertex(surface_, vertices_[i], guess) != nullptr) return failed();
      guess = faceAround(vertices_[i], surface_);
    }
    phaseLog().mark("gts_insert");

    for (size_t i = 0; i < g_.edges.size(); ++i) {
      GtsVertex *a = vertices_[g_.edges[i].a], *b = vertices_[g_.edges[i].b];
      GtsEdge* c = constraints[i];
      if (verticesFirst) {
        GtsSegment* existing = gts_vertices_are_connected(a, b);
        if (existing && GTS_IS_CONSTRAINT(existing)) continue;
        c = gts_edge_new(GTS_EDGE_CLASS(gts_constraint_class()), a, b);
        if (existing && GTS_IS_EDGE(existing)) {
          // Already a Delaunay edge: the constraint takes its place in its faces.
          gts_edge_replace(GTS_EDGE(existing), c);
          gts_object_destroy(GTS_OBJECT(existing));
          continue;
        }
      }
      GSList* conflicts = gts_delaunay_add_constraint(surface_, GTS_CONSTRAINT(c));
      if (conflicts) {
        g_slist_free(conflicts);
        return failed();
      }
    }

    phaseLog().mark("gts_constrain");
    // Every vertex and constraint present and no face lost: a triangulation of n + 3 points
    // whose hull is the enclosing triangle has 2 (n + 3) - 5 faces.
    if (gts_surface_face_number(surface_) != 2 * (n + 3) - 5) return failed();
    for (const Constraint& c : g_.edges) {
      GtsSegment* s = gts_vertices_are_connected(vertices_[c.a], vertices_[c.b]);
      if (!s || !GTS_IS_CONSTRAINT(s) || !GTS_EDGE(s)->triangles) return failed();
    }

    phaseLog().mark("check");
    std::vector<GtsFace*> faces;
    std::vector<uint8_t> keep;
    if (!selectInside(faces, keep)) return failed();
    phaseLog().mark("select");

    if (flags_ & kConform) {
      // The enclosing corners go first, taking every edge and face on
      // them, then the outside faces; the refinement then sees only the kept region.
      for (size_t i = 0; i < faces.size(); ++i) reinterpret_cast<WindingFace*>(faces[i])->kept = keep[i];
      gts_allow_floating_vertices = TRUE;
      for (GtsVertex*& v : corners_) gts_object_destroy(GTS_OBJECT(v)), v = nullptr;
      gts_allow_floating_vertices = FALSE;
      for (GtsFace* f : surfaceFaces())
        if (!reinterpret_cast<WindingFace*>(f)->kept) gts_surface_remove_face(surface_, f);
      // Each inserted vertex splits an encroached constraint; bounded so that sharp input
      // angles cannot make it run away.
      const gint limit = gint(std::min<size_t>(4 * n + 1000, 2000000));
      gts_delaunay_conform(surface_, limit, encroaches, nullptr);
      phaseLog().mark("gts_conform");
      faces = surfaceFaces();
      keep.assign(faces.size(), 1);
    }
    if (!emit(faces, keep, r)) return failed();
    phaseLog().mark("emit");
    return r;
  }

 private:
  Result failed() {
    Result r;
    r.status = kFailed;
    return r;
  }

  std::vector<GtsFace*> surfaceFaces() {
    std::vector<GtsFace*> faces;
    faces.reserve(gts_surface_face_number(surface_));
    gts_surface_foreach_face(surface_, (GtsFunc)[](gpointer f, gpointer data) {
      static_cast<std::vector<GtsFace*>*>(data)->push_back(GTS_FACE(f));
      return 0;
    }, &faces);
    return faces;
  }

  // Corners of t counter-clockwise.
  static void corners(GtsTriangle* t, GtsVertex* v[3]) {
    gts_triangle_vertices(t, &v[0], &v[1], &v[2]);
    if (gts_point_orientation(GTS_POINT(v[0]), GTS_POINT(v[1]), GTS_POINT(v[2])) < 0) std::swap(v[1], v[2]);
  }

  double yFactor() const { return (flags_ & kStretch) ? 1.5 : 1.0; }
  double xShear() const { return (flags_ & kShear) ? 0.375 : 0.0; }

  // Insertion order along the Morton curve, so that each start face is near. With
  // kRandomRounds, a random 1/64 of the vertices goes first, then a random 1/8 of the rest
  // (the draw has a fixed seed, so a call is repeatable): in Morton order alone vertices keep
  // arriving outside the hull of those before them, and GTS pays for every hull change by
  // walking the enclosing corners' edge lists (twice as slow on a plotted curve); after the
  // sparse rounds nearly every vertex falls inside. More rounds (full BRIO) were slower: stale
  // hull edges sit deep in those lists when every vertex is on the hull (a circle). On integer
  // grids, though, GTS crashed more often in this order (8 of 3 000 staircases unsolved after
  // every attempt, against none in Morton order), so the plug-in falls back to Morton order.
  std::vector<uint32_t> insertionOrder() const {
    const size_t n = g_.vertices.size();
    std::vector<uint64_t> keys(n);
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (uint32_t i = 0; i < n; ++i) {
      state = state * 6364136223846793005ull + 1442695040888963407ull;
      const uint64_t first = !(flags_ & kRandomRounds) ? 0 : (state >> 58) == 0 ? 0 : ((state >> 61) == 0 ? 1 : 2);
      keys[i] = (first << 62) | (morton(g_.vertices[i]) >> 2);
    }
    std::vector<uint32_t> order(n);
    for (uint32_t i = 0; i < n; ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
    return order;
  }

  bool inside(long w) const { return (flags_ & kEvenOdd) ? (w & 1) != 0 : w != 0; }

  // The path's runs from a to b minus those from b to a, from the constraints sorted by vertex.
  void buildMultiplicities() {
    const size_t n = g_.vertices.size();
    adjStart_.assign(n + 1, 0);
    for (const Constraint& c : g_.edges) ++adjStart_[c.a + 1];
    for (size_t i = 0; i < n; ++i) adjStart_[i + 1] += adjStart_[i];
    adj_.resize(g_.edges.size());
    std::vector<uint32_t> fill(adjStart_.begin(), adjStart_.end() - 1);
    for (const Constraint& c : g_.edges) adj_[fill[c.a]++] = {c.b, c.multiplicity};  // a < b
    for (size_t i = 0; i < n; ++i) std::sort(adj_.begin() + adjStart_[i], adj_.begin() + adjStart_[i + 1]);
  }

  long multiplicity(uint32_t a, uint32_t b) const {
    const bool forward = a < b;
    if (!forward) std::swap(a, b);
    if (b >= g_.vertices.size()) return 0;
    const auto first = adj_.begin() + adjStart_[a], last = adj_.begin() + adjStart_[a + 1];
    const auto it = std::lower_bound(first, last, std::pair<uint32_t, int32_t>{b, INT32_MIN});
    if (it == last || it->first != b) return 0;
    return forward ? it->second : -long(it->second);
  }

  // The faces, and which of them have their centroid inside the path.
  bool selectInside(std::vector<GtsFace*>& faces, std::vector<uint8_t>& keep) {
    const size_t n = g_.vertices.size();
    if (flags_ & kSegmentWinding) {
      faces = surfaceFaces();
      keep.assign(faces.size(), 0);
      StripWinding strips(segments_);
      for (size_t i = 0; i < faces.size(); ++i) {
        GtsVertex* v[3];
        corners(GTS_TRIANGLE(faces[i]), v);
        const uint32_t id[3] = {idOf(v[0]), idOf(v[1]), idOf(v[2])};
        if (id[0] >= n || id[1] >= n || id[2] >= n) continue;
        double x = 0, y = 0;
        for (uint32_t k : id) x += vertexX(k), y += vertexY(k);
        keep[i] = inside(strips.winding(x / 3, y / 3));
      }
      return true;
    }
    // Flood fill from a face on the enclosing triangle (winding 0): crossing the edge a -> b
    // of a face (counter-clockwise) into its neighbour subtracts the path's runs from a to b.
    // The winding lives in the face itself and the fill lists the faces as it reaches them,
    // so no table of all faces is built first.
    GtsObjectClass* const constraintClass = GTS_OBJECT_CLASS(gts_constraint_class());
    GtsObjectClass* const faceClass = GTS_OBJECT_CLASS(windingFaceClass());
    auto ours = [&](gpointer face) -> WindingFace* {
      if (GTS_OBJECT(face)->klass != faceClass) return nullptr;
      GSList* in = GTS_FACE(face)->surfaces;
      return in && in->data == surface_ ? reinterpret_cast<WindingFace*>(face) : nullptr;
    };
    // The faces on the enclosing corners, found from the corners.
    WindingFace* seed = nullptr;
    for (GtsVertex* c : corners_)
      for (GSList* l = c->segments; l; l = l->next)
        if (GTS_IS_EDGE(l->data))
          for (GSList* t = GTS_EDGE(l->data)->triangles; t; t = t->next)
            if (WindingFace* f = ours(t->data)) f->corner = true, seed = f;
    if (!seed) return false;
    faces.clear();
    faces.reserve(gts_surface_face_number(surface_));
    std::vector<WindingFace*> stack{seed};
    seed->winding = 0;
    faces.push_back(GTS_FACE(seed));
    while (!stack.empty()) {
      WindingFace* f = stack.back();
      stack.pop_back();
      GtsTriangle* t = GTS_TRIANGLE(f);
      for (GtsEdge* e : {t->e1, t->e2, t->e3}) {
        long m = 0;
        // Only constraints carry runs of the path (every one made here is of exactly that class).
        if (GTS_OBJECT(e)->klass == constraintClass) {
          GtsSegment* s = GTS_SEGMENT(e);
          m = multiplicity(idOf(s->v1), idOf(s->v2));
          // Counter-clockwise, this face runs along v1 -> v2 when its third corner is on the left.
          GtsVertex* third = gts_triangle_vertex_opposite(t, e);
          if (gts_point_orientation(GTS_POINT(s->v1), GTS_POINT(s->v2), GTS_POINT(third)) < 0) m = -m;
        }
        const long value = f->winding - m;
        for (GSList* i = e->triangles; i; i = i->next) {
          WindingFace* other = ours(i->data);
          if (!other || other == f) continue;
          if (other->winding == LONG_MIN) {
            other->winding = value;
            stack.push_back(other);
            faces.push_back(GTS_FACE(other));
          } else if (other->winding != value) {
            return false;  // a constraint the triangulation lost
          }
        }
      }
    }
    if (faces.size() != gts_surface_face_number(surface_)) return false;  // a face not reached
    keep.assign(faces.size(), 0);
    for (size_t i = 0; i < faces.size(); ++i) {
      const WindingFace* f = reinterpret_cast<WindingFace*>(faces[i]);
      if (f->corner && inside(f->winding)) return false;  // the path reaches past the data's hull
      keep[i] = !f->corner && inside(f->winding);
    }
    return true;
  }

  double vertexX(uint32_t k) const {
    return g_.origin[k] >= 0 ? inputXY_[2 * size_t(g_.origin[k])] : g_.toX(g_.vertices[k].x);
  }
  double vertexY(uint32_t k) const {
    return g_.origin[k] >= 0 ? inputXY_[2 * size_t(g_.origin[k]) + 1] : g_.toY(g_.vertices[k].y);
  }

  // Triangles in a fixed order (by their smallest corner), as request indices.
  bool emit(const std::vector<GtsFace*>& faces, const std::vector<uint8_t>& keep, Result& r) {
    const size_t n = g_.vertices.size();
    std::unordered_map<uint32_t, uint32_t> newIndex;  // graph vertex -> reply index
    std::unordered_map<GtsVertex*, uint32_t> inserted;
    std::vector<std::array<uint32_t, 3>> tris;
    tris.reserve(faces.size());
    auto reply = [&](GtsVertex* v) -> uint32_t {
      const uint32_t id = idOf(v);
      if (id < n) {
        if (g_.origin[id] >= 0) return uint32_t(g_.origin[id]);
        auto [it, added] = newIndex.try_emplace(id, uint32_t(requestVertices_ + r.newVertices.size() / 2));
        if (added) r.newVertices.insert(r.newVertices.end(), {vertexX(id), vertexY(id)});
        return it->second;
      }
      // A vertex the refinement inserted.
      auto [it, added] = inserted.try_emplace(v, uint32_t(requestVertices_ + r.newVertices.size() / 2));
      if (added) {
        const double scale = std::ldexp(1.0, 40) / g_.scale;
        double y = GTS_POINT(v)->y / yFactor(), x = GTS_POINT(v)->x - xShear() * y;
        if (flags_ & kRotate) {
          const double rx = kCos * x + kSin * y, ry = -kSin * x + kCos * y;
          x = rx, y = ry;
        }
        r.newVertices.insert(r.newVertices.end(), {x * scale + g_.centerX, y * scale + g_.centerY});
      }
      return it->second;
    };
    for (size_t i = 0; i < faces.size(); ++i) {
      if (!keep[i]) continue;
      GtsVertex* v[3];
      corners(GTS_TRIANGLE(faces[i]), v);
      bool corner = false;
      for (GtsVertex* x : v) corner |= (x == corners_[0] || x == corners_[1] || x == corners_[2]);
      if (corner) continue;
      if (flags_ & kRotate) {
        // Orientation on the grid itself (exact), where GTS's rounded view may differ.
        const uint32_t id[3] = {idOf(v[0]), idOf(v[1]), idOf(v[2])};
        if (id[0] < n && id[1] < n && id[2] < n) {
          const int turn = orientation(g_.vertices[id[0]], g_.vertices[id[1]], g_.vertices[id[2]]);
          if (turn < 0) return false;
          if (turn == 0) continue;
        }
      }
      std::array<uint32_t, 3> t;
      for (int k = 0; k < 3; ++k) t[k] = reply(v[k]);
      std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
      tris.push_back(t);
    }
    std::sort(tris.begin(), tris.end());
    r.triangles.reserve(tris.size() * 3);
    for (const auto& t : tris) r.triangles.insert(r.triangles.end(), t.begin(), t.end());
    return true;
  }

  // Frees every object the call made. GTS's own cascade removes each object from its
  // neighbours' lists, which costs the length of the list: quadratic around the enclosing
  // corners and the fans of cocircular input. Here every list is emptied first, so that each
  // destroy is constant time and cascades nowhere.
  void tearDown() {
    if (!surface_) return;
    std::vector<GtsVertex*> vertices;
    auto visit = [&](GtsVertex* v) {
      if (v && !reinterpret_cast<IdVertex*>(v)->seen) reinterpret_cast<IdVertex*>(v)->seen = true, vertices.push_back(v);
    };
    for (GtsVertex* v : vertices_) visit(v);
    for (GtsVertex* v : corners_) visit(v);
    std::vector<GtsSegment*> segments;
    std::vector<GtsTriangle*> triangles;
    // Everything is reached from the vertices: their segments, the segments' other ends (the
    // refinement's vertices), the edges' triangles.
    for (size_t i = 0; i < vertices.size(); ++i)
      for (GSList* l = vertices[i]->segments; l; l = l->next) {
        GtsSegment* s = GTS_SEGMENT(l->data);
        visit(s->v1), visit(s->v2);
        if (s->v1 != vertices[i]) continue;  // each segment once, from its first end
        segments.push_back(s);
        if (GTS_IS_EDGE(s))
          for (GSList* t = GTS_EDGE(s)->triangles; t; t = t->next)
            if (GTS_TRIANGLE(t->data)->e1 == GTS_EDGE(s)) triangles.push_back(GTS_TRIANGLE(t->data));
      }
    for (GtsVertex* v : vertices) g_slist_free(v->segments), v->segments = nullptr;
    for (GtsSegment* s : segments)
      if (GTS_IS_EDGE(s)) g_slist_free(GTS_EDGE(s)->triangles), GTS_EDGE(s)->triangles = nullptr;
    gts_allow_floating_vertices = TRUE;
    gts_allow_floating_edges = TRUE;
    // Faces outside the surface first (the surface takes its own).
    for (GtsTriangle* t : triangles)
      if (!GTS_IS_FACE(t) || !gts_face_has_parent_surface(GTS_FACE(t), surface_)) gts_object_destroy(GTS_OBJECT(t));
    gts_object_destroy(GTS_OBJECT(surface_));
    for (GtsSegment* s : segments) gts_object_destroy(GTS_OBJECT(s));
    for (GtsVertex* v : vertices) gts_object_destroy(GTS_OBJECT(v));
    gts_allow_floating_edges = FALSE;
    gts_allow_floating_vertices = FALSE;
    surface_ = nullptr;
  }

  const PlanarGraph& g_;
  uint32_t flags_;
  size_t requestVertices_;
  const std::vector<double>& inputXY_;
  const std::vector<double>& segments_;
  GtsSurface* surface_ = nullptr;
  GtsVertex* corners_[3] = {nullptr, nullptr, nullptr};
  std::vector<GtsVertex*> vertices_;
  std::vector<uint32_t> adjStart_;
  std::vector<std::pair<uint32_t, int32_t>> adj_;  // (b, multiplicity from a to b), a < b
};

// Above this many vertices the worker ends after its answer instead of freeing the call's
// objects one by one: returning the whole address space to the system takes a few
// milliseconds, freeing GTS's objects took about 2 us per vertex, and the plug-in starts a new
// worker for its next call (which costs a few milliseconds).
constexpr size_t kExitAboveVertices = 8192;

bool serve() {
  Header h;
  if (!readAll(&h, sizeof h)) return false;
  Result r;
  constexpr uint64_t kLimit = uint64_t(1) << 28;
  if (h.magic != kMagic || h.count[0] > kLimit || h.count[1] > kLimit || h.count[2] > kLimit) return false;
  std::vector<double> xy(2 * h.count[0]);
  std::vector<Constraint> constraints(h.count[1]);
  std::vector<double> segments(4 * h.count[2]);
  if (!readAll(xy.data(), xy.size() * sizeof(double)) || !readAll(constraints.data(), constraints.size() * sizeof(Constraint)) ||
      !readAll(segments.data(), segments.size() * sizeof(double)))
    return false;
  PhaseLog& log = phaseLog();
  log.start();
  std::optional<PlanarGraph> g;
  std::optional<Triangulation> t;
  if (!std::all_of(xy.begin(), xy.end(), [](double d) { return std::isfinite(d); })) {
    r.status = kBadRequest;
  } else {
    g = makePlanarGraph(xy.data(), h.count[0], constraints.data(), constraints.size());
    log.mark("planar");
    if (!g->clean) {
      r.status = kFailed;
    } else {
      t.emplace(*g, h.flags, h.count[0], xy, segments);
      r = t->run();
    }
  }
  // The answer goes out before the clean-up, which the plug-in then need not wait for.
  Reply reply;
  reply.status = r.status;
  reply.count[0] = r.newVertices.size() / 2;
  reply.count[1] = r.triangles.size() / 3;
  reply.workerExits = g && g->vertices.size() > kExitAboveVertices;
  const bool sent = writeAll(&reply, sizeof reply) && writeAll(r.newVertices.data(), r.newVertices.size() * sizeof(double)) &&
                    writeAll(r.triangles.data(), r.triangles.size() * sizeof(uint32_t));
  log.mark("reply");
  if (reply.workerExits) {
    log.write(h, r.status);
    _exit(0);
  }
  t.reset();
  log.mark("teardown");
  log.write(h, r.status);
  return sent;
}

}  // namespace

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELLUM_HAS_ASAN 1
#endif
#endif
#ifndef VELLUM_HAS_ASAN
#define VELLUM_HAS_ASAN 0
#endif

int main() {
  // Ends with the plug-in's process, and never takes more than 4 GiB of address space.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
#if !defined(__SANITIZE_ADDRESS__) && !VELLUM_HAS_ASAN
  // Not under AddressSanitizer, whose shadow memory alone is terabytes of address space: with
  // the limit every allocation fails and no triangulation is ever answered.
  const rlimit memory{rlim_t(4) << 30, rlim_t(4) << 30};
  setrlimit(RLIMIT_AS, &memory);
#endif
  std::signal(SIGPIPE, SIG_IGN);
  while (serve()) {
  }
  return 0;
}
