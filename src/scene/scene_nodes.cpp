#include "scene_nodes.h"

#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGTexture>
#include <algorithm>
#include <unordered_set>

namespace zrn::scene {

SceneRootNode::SceneRootNode(QQuickWindow *window)
    : m_window(window), m_retiredLayer(new QSGNode), m_liveLayer(new QSGNode)
{
    appendChildNode(m_retiredLayer);
    appendChildNode(m_liveLayer);
}

SceneRootNode::~SceneRootNode()
{
    // The nodes go with the layers; the textures are ours to delete.
    for (const CachedTexture &cached : std::as_const(m_textures))
        delete cached.texture;
}

void SceneRootNode::sync(const std::vector<Drawing> &drawings, double ratio, bool keepRetired,
                         quint64 retiredAt, quint64 applied)
{
    for (auto it = m_retired.begin(); it != m_retired.end();) {
        if (it->first <= applied) {
            destroy(it->second);
            it = m_retired.erase(it);
        } else {
            ++it;
        }
    }

    const auto retire = [&](CaliperNodes &nodes) {
        if (!nodes.group)
            return;
        if (keepRetired) {
            m_liveLayer->removeChildNode(nodes.group);
            m_retiredLayer->appendChildNode(nodes.group);
            m_retired.emplace_back(retiredAt, std::move(nodes));
        } else {
            destroy(nodes);
        }
        nodes = {};
    };

    // Another scale draws everything anew: sizes and textures differ.
    const bool rescaled = ratio != m_ratio;
    m_ratio = ratio;

    std::unordered_set<quint64> shown;
    QSGNode *previous = nullptr;
    for (const Drawing &drawing : drawings) {
        shown.insert(drawing.id);
        CaliperNodes &nodes = m_live[drawing.id];
        if (nodes.group && (rescaled || (keepRetired && nodes.version != drawing.version))) {
            // The new drawing goes where the old one was, before it leaves.
            QSGNode *old = nodes.group;
            CaliperNodes fresh;
            update(fresh, drawing, ratio);
            m_liveLayer->insertChildNodeBefore(fresh.group, old);
            retire(nodes);
            nodes = std::move(fresh);
        } else if (!nodes.group || nodes.version != drawing.version) {
            const bool created = !nodes.group;
            update(nodes, drawing, ratio);
            if (created) {
                if (previous)
                    m_liveLayer->insertChildNodeAfter(nodes.group, previous);
                else
                    m_liveLayer->prependChildNode(nodes.group);
            }
        }
        // Rows keep their order; should one come out of it, it is put back.
        if (nodes.group->previousSibling() != previous) {
            m_liveLayer->removeChildNode(nodes.group);
            if (previous)
                m_liveLayer->insertChildNodeAfter(nodes.group, previous);
            else
                m_liveLayer->prependChildNode(nodes.group);
        }
        previous = nodes.group;
    }
    for (auto it = m_live.begin(); it != m_live.end();) {
        if (shown.count(it->first) == 0) {
            retire(it->second);
            it = m_live.erase(it);
        } else {
            ++it;
        }
    }
}

void SceneRootNode::update(CaliperNodes &nodes, const Drawing &drawing, double ratio)
{
    const QList<QRect> &lines = *drawing.lines;
    const std::vector<Sprite> &sprites = *drawing.sprites;
    if (!nodes.group)
        nodes.group = new QSGNode;
    // Changed in place where the parts are the same; built anew where not, and
    // put into the group only once they show something.
    const bool rebuilt
        = nodes.lines.size() != std::size_t(lines.size()) || nodes.sprites.size() != sprites.size();
    const auto imageNode = [this] {
        QSGImageNode *image = m_window->createImageNode();
        image->setFiltering(QSGTexture::Nearest);
        image->setOwnsTexture(false);
        return image;
    };
    if (rebuilt) {
        nodes.group->removeAllChildNodes();
        for (QSGNode *node : nodes.lines)
            delete node;
        for (QSGNode *node : nodes.sprites)
            delete node;
        for (const qint64 key : nodes.textures)
            release(key);
        if (nodes.lineTexture != 0)
            release(nodes.lineTexture);
        nodes.lineTexture = 0;
        nodes.lines.clear();
        nodes.sprites.clear();
        nodes.textures.clear();
        for (qsizetype i = 0; i < lines.size(); ++i)
            nodes.lines.push_back(imageNode());
        for (std::size_t i = 0; i < sprites.size(); ++i) {
            nodes.sprites.push_back(imageNode());
            nodes.textures.push_back(0);
        }
    }
    // The lines are one pixel of their colour, stretched.
    const QImage &solid = solidPixel(drawing.colour);
    const bool recoloured = nodes.lineTexture != solid.cacheKey();
    QSGTexture *lineTexture = nullptr;
    if (recoloured && !nodes.lines.empty()) {
        lineTexture = acquire(solid);
        if (nodes.lineTexture != 0)
            release(nodes.lineTexture);
        nodes.lineTexture = solid.cacheKey();
    }
    for (std::size_t i = 0; i < nodes.lines.size(); ++i) {
        QSGImageNode *line = nodes.lines[i];
        if (lineTexture) {
            line->setTexture(lineTexture);
            line->setSourceRect(QRectF(0, 0, 1, 1));
        }
        const QRect &device = lines.at(qsizetype(i));
        const QRectF rect(device.x() / ratio, device.y() / ratio, device.width() / ratio,
                          device.height() / ratio);
        if (line->rect() != rect)
            line->setRect(rect);
    }
    for (std::size_t i = 0; i < nodes.sprites.size(); ++i) {
        QSGImageNode *image = nodes.sprites[i];
        const Sprite &sprite = sprites[i];
        const qint64 key = sprite.image.cacheKey();
        if (nodes.textures[i] != key) {
            QSGTexture *texture = acquire(sprite.image);
            if (nodes.textures[i] != 0)
                release(nodes.textures[i]);
            nodes.textures[i] = key;
            image->setTexture(texture);
            image->setSourceRect(QRectF(QPointF(0, 0), sprite.image.size()));
        }
        const QRectF rect(sprite.origin.x() / ratio, sprite.origin.y() / ratio,
                          sprite.image.width() / ratio, sprite.image.height() / ratio);
        if (image->rect() != rect)
            image->setRect(rect);
    }
    if (rebuilt) {
        for (QSGNode *line : nodes.lines)
            nodes.group->appendChildNode(line);
        for (QSGNode *sprite : nodes.sprites)
            nodes.group->appendChildNode(sprite);
    }
    nodes.version = drawing.version;
}

const QImage &SceneRootNode::solidPixel(QColor colour)
{
    QImage &pixel = m_solidPixels[colour.rgba()];
    if (pixel.isNull()) {
        pixel = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
        pixel.fill(colour);
    }
    return pixel;
}

void SceneRootNode::destroy(CaliperNodes &nodes)
{
    if (QSGNode *parent = nodes.group ? nodes.group->parent() : nullptr)
        parent->removeChildNode(nodes.group);
    // The group owns its children.
    delete nodes.group;
    for (const qint64 key : nodes.textures)
        release(key);
    if (nodes.lineTexture != 0)
        release(nodes.lineTexture);
    nodes = {};
}

QSGTexture *SceneRootNode::acquire(const QImage &image)
{
    CachedTexture &cached = m_textures[image.cacheKey()];
    if (!cached.texture) {
        // The software renderer takes a texture without a transparent pixel as
        // opaque, and the occlusion it then tracks costs it far more than it
        // saves here. A transparent column beyond the source rectangle keeps
        // every texture translucent to it; no renderer samples that column.
        QImage padded(image.width() + 1, image.height(), QImage::Format_ARGB32_Premultiplied);
        padded.fill(Qt::transparent);
        const QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < source.height(); ++y)
            std::copy_n(source.constScanLine(y), source.bytesPerLine(), padded.scanLine(y));
        cached.texture = m_window->createTextureFromImage(padded);
    }
    ++cached.users;
    return cached.texture;
}

void SceneRootNode::release(qint64 key)
{
    const auto found = m_textures.find(key);
    if (found == m_textures.end() || --found->users > 0)
        return;
    delete found->texture;
    m_textures.erase(found);
}

} // namespace zrn::scene
