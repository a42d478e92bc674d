#pragma once

// The scene graph side of the caliper scene: one subtree per caliper, built of
// image nodes for the lines (one stretched pixel), the dashes, the handles,
// the ring and the label, with the textures they share. Lives on the render thread; the
// scene hands it what to show while the GUI thread waits.

#include "caliper_sprites.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QRect>
#include <QSGNode>
#include <unordered_map>
#include <vector>

class QQuickWindow;
class QSGImageNode;
class QSGTexture;

namespace zrn::scene {

// What one caliper draws.
struct Drawing
{
    quint64 id = 0;
    quint64 version = 0;
    QColor colour;
    const QList<QRect> *lines = nullptr; // device pixels
    const std::vector<Sprite> *sprites = nullptr;
};

class SceneRootNode : public QSGNode
{
public:
    explicit SceneRootNode(QQuickWindow *window);
    ~SceneRootNode() override;
    SceneRootNode(const SceneRootNode &) = delete;
    SceneRootNode &operator=(const SceneRootNode &) = delete;

    // Shows the drawings, in order, at `ratio` device pixels per logical one.
    // A drawing whose version is unchanged keeps its nodes. With
    // `keepRetired`, the nodes of a drawing that changed or went away stay in
    // the frames, beneath, until the generation `retiredAt` is applied.
    void sync(const std::vector<Drawing> &drawings, double ratio, bool keepRetired,
              quint64 retiredAt, quint64 applied);
    bool hasRetired() const { return !m_retired.empty(); }

private:
    struct CaliperNodes
    {
        quint64 version = 0;
        QSGNode *group = nullptr;
        std::vector<QSGImageNode *> lines;
        qint64 lineTexture = 0; // the cache key of the lines' colour
        std::vector<QSGImageNode *> sprites;
        std::vector<qint64> textures; // the cache keys it holds
    };

    void update(CaliperNodes &nodes, const Drawing &drawing, double ratio);
    void destroy(CaliperNodes &nodes);
    QSGTexture *acquire(const QImage &image);
    const QImage &solidPixel(QColor colour);
    void release(qint64 key);

    QQuickWindow *m_window;
    double m_ratio = 0.0;
    QSGNode *m_retiredLayer; // beneath the live drawings
    QSGNode *m_liveLayer;
    std::vector<std::pair<quint64, CaliperNodes>> m_retired;
    std::unordered_map<quint64, CaliperNodes> m_live;

    struct CachedTexture
    {
        QSGTexture *texture = nullptr;
        int users = 0;
    };
    QHash<qint64, CachedTexture> m_textures;
    QHash<QRgb, QImage> m_solidPixels;
};

} // namespace zrn::scene
