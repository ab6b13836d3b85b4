#pragma once

#include <QWidget>

#include <array>
#include <cstdint>

// Six bars, one per face, each as high as the face's count, and a dashed
// line across them at the expected sixth of all faces. Each bar carries its
// face below it and its count above it.
class FaceChart : public QWidget {
    Q_OBJECT
public:
    explicit FaceChart(QWidget* parent = nullptr);

    void setCounts(const std::array<std::uint64_t, 6>& counts);
    const std::array<std::uint64_t, 6>& counts() const { return m_counts; }

    QSize sizeHint() const override { return {300, 200}; }
    QSize minimumSizeHint() const override { return {180, 120}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<std::uint64_t, 6> m_counts{};
};
