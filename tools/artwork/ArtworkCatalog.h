#pragma once

// Every picture Corvane draws, by resource module and id, with the layout its
// control expects (frames of a strip, two halves, cells of an LED strip).

#include <QImage>

#include <functional>
#include <vector>

struct ArtworkEntry
{
    enum class Module
    {
        Skinkit,
        Corvane
    };

    Module module;
    int id;
    std::function<QImage()> draw;
};

class ArtworkCatalog
{
public:
    static const std::vector<ArtworkEntry>& entries();
};
