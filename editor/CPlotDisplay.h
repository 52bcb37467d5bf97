// A control drawing coloured polylines over a background through its own offscreen surface.
#pragma once

#include "gui/controls/CControl.h"

#include <cstdint>

class COffscreenContext;

/// Plot index standing for the last plot.
constexpr long kPlotIndexEnd = -1;
/// Plot index standing for every plot.
constexpr long kPlotIndexAll = -2;

/// Plots take values in axis units and keep only pixel points, converted once per data update.
/// With limits -1..1 on a 253 x 253 control, x = -1, 0, 1 land on columns 0, 126, 252 and
/// y = 1, 0, -1 on rows 0, 126, 252: y grows upward.
class CPlotDisplay : public CControl
{
public:
    /// One plot: `size` values per axis, their pixel points and a colour.
    class CPlotBuffer
    {
    public:
        explicit CPlotBuffer(long size = 0, CColor color = kWhiteCColor);
        /// Copies colour, size and arrays; the copy starts enabled.
        CPlotBuffer(const CPlotBuffer& other);
        /// Copies colour, size and arrays, not `enabled`.
        CPlotBuffer& operator=(const CPlotBuffer& other);
        ~CPlotBuffer();

        /// Reallocates for n points when n differs, then zeroes all three arrays; answers the
        /// size reached (0 when nothing could be allocated).
        long setSize(long n);
        void setColor(CColor newColor) { color = newColor; }
        /// Exchanges every field, `enabled` included.
        void swap(CPlotBuffer& other);

        bool enabled = true;
        std::int32_t size = 0;
        float* xData = nullptr;
        float* yData = nullptr;
        CPoint* points = nullptr;
        CColor color = kWhiteCColor;

    private:
        void release();
        bool copyArrays(const CPlotBuffer& other);
    };

    CPlotDisplay(CFrame* frame, const CRect& size, CControlListener* listener = nullptr, long tag = 0,
                 CBitmap* background = nullptr);
    ~CPlotDisplay() override;

    void draw(CDrawContext* context) override;
    bool isTypeOf(const char* className) const override;

    /// Range and scale of an axis; points already converted are not converted again.
    virtual void setLimitsX(float min, float max, bool log = false);
    virtual void setLimitsY(float min, float max, bool log = false);
    virtual long getPlotCount() const { return plotCount; }
    /// Appends a plot (enabled, `size` zeroed points); the plot set is unchanged when memory runs out.
    virtual void addPlot(long size, CColor color);
    virtual void removePlot(long index);
    /// Disables each addressed plot and gives it `size` zeroed points.
    virtual void setPlotSize(long size, long index);
    virtual void setPlotDataXY(const float* xValues, const float* yValues, long index);
    /// Converts values 0..size-1 into the x coordinates of the addressed plots' points; null
    /// converts each plot's own xData.
    virtual void setPlotDataX(const float* values, long index);
    virtual void setPlotDataY(const float* values, long index);
    virtual void setPlotColor(CColor color, long index);
    virtual void setPlotEnabled(long index);
    virtual void setPlotDisabled(long index);
    virtual void setBackColor(CColor color);
    virtual void setFrameColor(CColor color);
    virtual void setStyle(long style);

    void value2PixelX(CPoint* points, const float* values, long count) const;
    void value2PixelY(CPoint* points, const float* values, long count) const;
    void pixel2ValueX(float* values, const CPoint* points, long count) const;
    void pixel2ValueY(float* values, const CPoint* points, long count) const;

    /// The plot at `index` (kPlotIndexEnd allowed), or null.
    const CPlotBuffer* getPlot(long index) const;
    CColor getBackColor() const { return backColor; }
    CColor getFrameColor() const { return frameColor; }
    long getStyle() const { return style; }
    COffscreenContext* getOffscreen() const { return offscreen; }
    const CRect& getPlotRect() const { return plotRect; }

protected:
    /// Replaces kPlotIndexEnd; answers false for an index that addresses nothing.
    bool resolveIndex(long& index) const;
    /// Calls `apply` for each plot the (resolved) index addresses.
    template <class Apply> void forEachPlot(long index, Apply apply);
    void drawPlot(CDrawContext* context);

    float xMin = 0.f;
    float xMax = 1.f;
    float yMin = 0.f;
    float yMax = 1.f;
    bool xLog = false;
    bool yLog = false;
    COffscreenContext* offscreen = nullptr;
    CRect localRect;
    CRect plotRect;
    CPlotBuffer** plots = nullptr;
    std::int32_t plotCount = 0;
    std::int32_t style = 0;
    CColor backColor = kBlackCColor;
    CColor frameColor = kBlackCColor;
};
